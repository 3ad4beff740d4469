#include "archive/archive.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include "components/database.h"
#include "core/data_files.h"
#include "core/error.h"
#include "models/catalogue.h"
#include "streams/store.h"

namespace zpk::archive {

namespace {

using core::fail;
using streams::StreamDef;

constexpr std::string_view kMagic = "ZPK-ARCHIVE";
constexpr std::uintmax_t kMaxFileSize = 256u << 20;  // refuse absurdly large files

std::uint64_t fnv1a(std::string_view bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string escape(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c <= ' ' || c == '%' || c >= 0x7f) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// ---- writing --------------------------------------------------------------

void writeStream(std::ostringstream& out, int n, const streams::Stream& s) {
    const StreamDef& d = s.def;
    out << "stream " << n << '\n';
    if (!d.name.empty()) out << "name " << escape(d.name) << '\n';
    out << "flow " << number(d.massFlow) << '\n';
    out << "options " << d.options << '\n';
    for (int k = 1; k <= streams::kSettings; ++k)
        if (d.settings[k] != 0) out << "setting " << k << ' ' << d.settings[k] << '\n';
    for (int p = 1; p <= streams::kProperties; ++p)
        for (int ph = 0; ph < streams::kPhaseKinds; ++ph)
            if (d.models[p - 1][ph] != 0) out << "model " << p << ' ' << ph << ' ' << d.models[p - 1][ph] << '\n';
    for (int i = 0; i < d.positions(); ++i) {
        const components::Component* c = components::byIndex(d.codes[i]);
        out << "comp " << i + 1 << ' ' << d.codes[i] << ' ' << (c ? c->cas : 0) << ' ' << number(d.z[i]) << '\n';
    }
    for (std::size_t k = 0; k < d.bips.size(); ++k) {
        const auto& e = d.bips[k];
        out << "bip " << k + 1 << ' ' << e.i << ' ' << e.j << ' ' << e.model;
        for (double p : e.p) out << ' ' << number(p);
        out << '\n';
    }
    if (d.bipLoadLevel >= 0) out << "sbload " << d.bipLoadLevel << '\n';
    out << "tp " << number(s.T) << ' ' << number(s.P) << '\n';
    out << "endstream\n";
}

// ---- reading --------------------------------------------------------------

struct Parser {
    explicit Parser(std::string_view t) : text(t) {}
    std::string_view text;
    std::size_t pos = 0;
    int lineNo = 0;
    std::vector<std::string_view> fields;
    std::size_t lineStart = 0;

    [[noreturn]] void error(const std::string& what) const {
        fail("line " + std::to_string(lineNo) + ": " + what, kFileError);
    }

    // Next line split into fields; false at the end of the text.
    bool next() {
        if (pos >= text.size()) return false;
        lineStart = pos;
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) error("last line is not terminated (file truncated?)");
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = end + 1;
        ++lineNo;
        fields.clear();
        std::size_t i = 0;
        while (i < line.size()) {
            std::size_t j = line.find(' ', i);
            if (j == std::string_view::npos) j = line.size();
            if (j == i) error("empty field");
            fields.push_back(line.substr(i, j - i));
            i = j + 1;
        }
        if (fields.empty()) error("empty line");
        return true;
    }

    void expectFields(std::size_t n) const {
        if (fields.size() != n)
            error("'" + std::string(fields[0]) + "' needs " + std::to_string(n - 1) + " values");
    }

    long long integer(std::size_t k, long long lo, long long hi) const {
        std::string_view f = fields[k];
        long long v = 0;
        auto [p, ec] = std::from_chars(f.data(), f.data() + f.size(), v);
        if (ec != std::errc() || p != f.data() + f.size()) error("'" + std::string(f) + "' is not an integer");
        if (v < lo || v > hi)
            error(std::to_string(v) + " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
        return v;
    }

    double real(std::size_t k) const {
        std::string f(fields[k]);
        char* end = nullptr;
        errno = 0;
        double v = std::strtod(f.c_str(), &end);
        if (end != f.c_str() + f.size() || f.empty() || !std::isfinite(v) || errno == ERANGE)
            error("'" + f + "' is not a finite number");
        return v;
    }
};

std::string unescape(const Parser& p, std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned v = 0;
        if (i + 2 >= text.size()) p.error("bad escape in name");
        auto [q, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 3, v, 16);
        if (ec != std::errc() || q != text.data() + i + 3) p.error("bad escape in name");
        out += static_cast<char>(v);
        i += 2;
    }
    return out;
}

struct Loaded {
    int number;
    streams::Stream stream;
};

Loaded parseStream(Parser& p, int n) {
    Loaded l{n, {}};
    StreamDef& d = l.stream.def;
    bool sawFlow = false, sawOptions = false, sawTp = false;
    const int known = components::count();
    while (true) {
        if (!p.next()) p.error("stream " + std::to_string(n) + " has no 'endstream' (file truncated?)");
        const std::string_view key = p.fields[0];
        if (key == "endstream") {
            p.expectFields(1);
            break;
        } else if (key == "name") {
            p.expectFields(2);
            d.name = unescape(p, p.fields[1]);
            if (d.name.size() > static_cast<std::size_t>(streams::kMaxNameLength)) p.error("name too long");
        } else if (key == "flow") {
            p.expectFields(2);
            d.massFlow = p.real(1);
            if (d.massFlow < 0) p.error("negative mass flow");
            sawFlow = true;
        } else if (key == "options") {
            p.expectFields(2);
            d.options = static_cast<int>(p.integer(1, 0, INT32_MAX));
            sawOptions = true;
        } else if (key == "setting") {
            p.expectFields(3);
            d.settings[p.integer(1, 1, streams::kSettings)] = static_cast<int>(p.integer(2, INT32_MIN, INT32_MAX));
        } else if (key == "model") {
            p.expectFields(4);
            const int prop = static_cast<int>(p.integer(1, 1, streams::kProperties));
            const int phase = static_cast<int>(p.integer(2, 0, streams::kPhaseKinds - 1));
            const int code = static_cast<int>(p.integer(3, 1, INT32_MAX));
            if (!models::serves(code, prop, phase))
                p.error("model " + std::to_string(code) + " does not serve property " + std::to_string(prop) +
                        " in phase " + std::to_string(phase));
            d.models[prop - 1][phase] = code;
        } else if (key == "comp") {
            p.expectFields(5);
            const int pos = static_cast<int>(p.integer(1, 1, streams::kMaxPositions));
            if (pos != d.positions() + 1) p.error("component position " + std::to_string(pos) + " out of order");
            int code = static_cast<int>(p.integer(2, 1, INT32_MAX));
            const long long cas = p.integer(3, 0, INT64_MAX);
            if (cas > 0) {
                code = components::indexOfCas(cas);
                if (code == 0) p.error("CAS number " + std::to_string(cas) + " is not in the component database");
            } else if (code > known) {
                p.error("component code " + std::to_string(code) + " is not in the component database");
            }
            const double z = p.real(4);
            if (z < 0) p.error("negative fraction");
            d.codes.push_back(code);
            d.z.push_back(z);
        } else if (key == "bip") {
            p.expectFields(5 + streams::kBipParameters);
            const int k = static_cast<int>(p.integer(1, 1, streams::kMaxBipEntries));
            if (k != static_cast<int>(d.bips.size()) + 1) p.error("binary entry " + std::to_string(k) + " out of order");
            streams::BipEntry e;
            e.i = static_cast<int>(p.integer(2, 0, streams::kMaxPositions));
            e.j = static_cast<int>(p.integer(3, 0, streams::kMaxPositions));
            e.model = static_cast<int>(p.integer(4, 0, INT32_MAX));
            if (e.model != 0 && models::find(e.model) == nullptr)
                p.error("model " + std::to_string(e.model) + " is unknown");
            for (int q = 0; q < streams::kBipParameters; ++q) e.p[q] = p.real(5 + q);
            d.bips.push_back(e);
        } else if (key == "sbload") {
            p.expectFields(2);
            d.bipLoadLevel = static_cast<int>(p.integer(1, 0, streams::kMaxBipLoadLevel));
        } else if (key == "tp") {
            p.expectFields(3);
            l.stream.T = p.real(1);
            l.stream.P = p.real(2);
            if (!(l.stream.T > 0) || !(l.stream.P > 0)) p.error("temperature and pressure must be positive");
            sawTp = true;
        } else {
            p.error("unknown record '" + std::string(key) + "'");
        }
    }
    if (!sawFlow || !sawOptions || !sawTp) p.error("stream " + std::to_string(n) + " lacks flow, options or tp");
    const std::string why = streams::validate(d);
    if (!why.empty()) p.error("stream " + std::to_string(n) + ": " + why);
    d.defined = true;
    return l;
}

std::string readFile(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) fail("cannot open '" + path + "': " + ec.message(), kFileError);
    if (size > kMaxFileSize) fail("'" + path + "' is too large for an archive", kFileError);
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot open '" + path + "'", kFileError);
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (in.gcount() != static_cast<std::streamsize>(size)) fail("cannot read '" + path + "'", kFileError);
    return text;
}

}  // namespace

void save(const std::string& path) {
    if (path.empty()) fail("empty file name", kFileError);
    std::ostringstream out;
    out << kMagic << ' ' << kFormatVersion << '\n';
    out << "range " << streams::kCapacity << '\n';
    int count = 0;
    for (int n = 1; n <= streams::kCapacity; ++n) {
        streams::withStream(n, [&](streams::Stream& s) {
            if (!s.def.defined) return;
            writeStream(out, n, s);
            ++count;
        });
    }
    std::string body = out.str();
    char end[64];
    std::snprintf(end, sizeof end, "end %d %016llx\n", count, static_cast<unsigned long long>(fnv1a(body)));
    body += end;

    // Temporary file in the target's folder, unique per process and thread,
    // renamed over the target so readers never see a partial archive.
    std::ostringstream tmpName;
    tmpName << path << ".tmp";
#if defined(_WIN32)
    tmpName << '.' << ::_getpid();
#else
    tmpName << '.' << ::getpid();
#endif
    tmpName << '.' << std::hash<std::thread::id>{}(std::this_thread::get_id());
    const std::string tmp = tmpName.str();
    {
        std::FILE* f = std::fopen(tmp.c_str(), "wb");
        if (f == nullptr) fail("cannot create '" + tmp + "': " + std::strerror(errno), kFileError);
        const bool ok = std::fwrite(body.data(), 1, body.size(), f) == body.size() && std::fflush(f) == 0;
#if defined(_WIN32)
        const bool synced = ok && ::_commit(::_fileno(f)) == 0;
#else
        const bool synced = ok && ::fsync(::fileno(f)) == 0;
#endif
        const bool closed = std::fclose(f) == 0;
        if (!ok || !synced || !closed) {
            std::remove(tmp.c_str());
            fail("cannot write '" + tmp + "'", kFileError);
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::remove(tmp.c_str());
        fail("cannot rename '" + tmp + "' to '" + path + "': " + ec.message(), kFileError);
    }
}

void open(const std::string& path) {
    if (path.empty()) fail("empty file name", kFileError);
    const std::string text = readFile(path);

    // The checksum line is the last line; everything before it is covered.
    if (text.empty() || text.back() != '\n') fail("'" + path + "' is empty or truncated", kFileError);
    const std::size_t lastStart = text.rfind('\n', text.size() - 2);
    const std::size_t endStart = lastStart == std::string::npos ? 0 : lastStart + 1;
    const std::string_view body(text.data(), endStart);

    Parser p(body);
    if (!p.next() || p.fields.size() != 2 || p.fields[0] != kMagic)
        fail("'" + path + "' is not a stream archive", kFileError);
    if (p.integer(1, 1, INT32_MAX) != kFormatVersion)
        fail("'" + path + "' has format version " + std::string(p.fields[1]) + "; this library reads version " +
                 std::to_string(kFormatVersion),
             kFileError);
    if (!p.next() || p.fields[0] != "range") p.error("'range' expected");
    p.expectFields(2);
    const int range = static_cast<int>(p.integer(1, 0, streams::kCapacity));

    std::vector<Loaded> loaded;
    int last = 0;
    while (p.next()) {
        if (p.fields[0] != "stream") p.error("'stream' expected");
        p.expectFields(2);
        const int n = static_cast<int>(p.integer(1, 1, range));
        if (n <= last) p.error("stream " + std::to_string(n) + " out of order");
        last = n;
        loaded.push_back(parseStream(p, n));
    }

    // Closing line: count and checksum.
    Parser e(std::string_view(text).substr(endStart));
    e.lineNo = p.lineNo;
    if (!e.next() || e.fields[0] != "end") e.error("'end' line missing (file truncated?)");
    e.expectFields(3);
    if (e.integer(1, 0, streams::kCapacity) != static_cast<long long>(loaded.size()))
        e.error("stream count does not match");
    char sum[20];
    std::snprintf(sum, sizeof sum, "%016llx", static_cast<unsigned long long>(fnv1a(body)));
    if (e.fields[2] != sum) e.error("checksum does not match (file corrupt)");

    // Valid: replace streams 1..range.
    std::size_t k = 0;
    for (int n = 1; n <= range; ++n) {
        streams::withStream(n, [&](streams::Stream& s) {
            const std::uint64_t revision = s.revision;
            if (k < loaded.size() && loaded[k].number == n) {
                s = std::move(loaded[k].stream);
                ++k;
            } else {
                s = streams::Stream{};
            }
            s.revision = revision + 1;
        });
    }
}

const std::string& dataFolder() {
    static const std::string folder = [] {
        const std::vector<std::string>& folders = dataFolders();
        std::error_code ec;
        for (const std::string& candidate : folders)
            if (std::filesystem::exists(std::filesystem::path(candidate + "def.zpk"), ec)) return candidate;
        return folders.back();
    }();
    return folder;
}

}  // namespace zpk::archive
