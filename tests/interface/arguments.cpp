#include "arguments.h"

#include <cstdlib>
#include <map>
#include <regex>

namespace calls {

namespace {

constexpr long long kLargest = 1000000; // elements of one buffer at most

// Stream numbers by argument name, so that calls with several streams get
// distinct ones (inlets apart from outlets).
const std::map<std::string, int>& streamOfName() {
    static const std::map<std::string, int> m = {
        {"stream", 1}, {"source", 1},  {"feed", 1},      {"in", 1},          {"a", 1},
        {"target", 2}, {"product", 2}, {"out", 2},       {"vap", 2},         {"b", 3},
        {"liq1", 3},   {"liq2", 4},    {"topStream", 2}, {"bottomStream", 3}};
    return m;
}

bool isStreamArgument(const Argument& a) {
    return streamOfName().count(a.name) && std::regex_search(a.meaning, std::regex("\\bstream\\b"));
}

double fillOf(const Argument& a) {
    if (a.name == "x" || a.name == "y") return 0.3;
    if (a.name == "T" || a.name == "guessT") return 300.0;
    if (a.name == "P" || a.name == "stagePressures") return 2e5;
    return 0.5;
}

long long evalTerm(const std::string& term, const Function& f, const Args& args) {
    if (std::isdigit(static_cast<unsigned char>(term[0]))) return std::atoll(term.c_str());
    if (term.find('(') != std::string::npos) return kPositions; // nc, ncd, ncol
    for (std::size_t k = 0; k < f.args.size(); ++k)
        if (f.args[k].name == term) return args.i[k];
    return -1;
}

// An extent: terms joined by + and * (products bind first).
long long evalExtent(const std::string& e, const Function& f, const Args& args) {
    long long sum = 0, product = 1;
    std::size_t start = 0;
    for (std::size_t k = 0; k <= e.size(); ++k) {
        if (k < e.size() && e[k] != '+' && e[k] != '*') continue;
        const long long v = evalTerm(e.substr(start, k - start), f, args);
        if (v < 0 || v > kLargest) return -1;
        product *= v;
        if (product > kLargest) return -1;
        if (k == e.size() || e[k] == '+') {
            sum += product;
            product = 1;
        }
        start = k + 1;
    }
    return sum > kLargest ? -1 : sum;
}

} // namespace

bool defineStreams() {
    for (int q = 15; q <= 54; ++q)
        setUMC(q, 1);
    const int cas[] = {74828, 74840, 74986};
    const double z[] = {0.8, 0.15, 0.05};
    for (int s = 1; s <= kStreams; ++s) {
        initS(s);
        setWm(s, 1.0);
        for (int p = 1; p <= 4; ++p) {
            setMP(s, p, 0, 50);
            setMP(s, p, 1, 50);
        }
        for (int i = 0; i < 3; ++i) {
            putZ(s, i + 1, z[i]);
            putCC(s, i + 1, CompCID(cas[i]));
        }
        if (!setS(s) || !setOp(s, 300.0, 2e6)) return false;
    }
    return DPinit(1, 1) == 1;
}

double* Buffers::doubles(std::size_t n, double fill) {
    return doubles_.emplace_back(n ? n : 1, fill).data();
}
int* Buffers::ints(std::size_t n, int fill) {
    return ints_.emplace_back(n ? n : 1, fill).data();
}
double** Buffers::rows(std::size_t rows, std::size_t n) {
    auto& r = rows_.emplace_back(rows ? rows : 1, nullptr);
    for (auto& p : r)
        p = doubles(n, 0.0);
    return r.data();
}
char* Buffers::text(const std::string& s) {
    return texts_.emplace_back(s).data();
}
void Buffers::clear() {
    doubles_.clear();
    ints_.clear();
    rows_.clear();
    texts_.clear();
}

long long validInt(const Argument& a) {
    if (isStreamArgument(a)) return streamOfName().at(a.name);
    std::smatch m;
    if (std::regex_search(a.meaning, m, std::regex("(^|[^\\w.])(-?\\d+)\\.\\.")))
        return std::atoll(m[2].str().c_str());
    return 1;
}

double validDouble(const Argument& a) {
    if (a.name == "T") return 300.0;
    if (a.name == "P" || a.name == "pOut" || a.name == "pBack") return 2e5;
    if (a.name == "offset" || a.name == "rise" || a.name == "heat" || a.name == "Q") return 0.0;
    return 0.5;
}

long long elementCount(const Function& f, const Argument& a, const Args& args) {
    long long n = 1;
    for (const auto& e : a.extents) {
        const long long v = evalExtent(e, f, args);
        if (v < 0) return -1;
        n *= v;
        if (n > kLargest) return -1;
    }
    return n;
}

void allocate(const Function& f, int k, Args& args, Buffers& buffers, double fill) {
    const Argument& a = f.args[k];
    if (a.type == "char*") {
        args.p[k] = buffers.text("zpk-interface-test");
        return;
    }
    const long long n = elementCount(f, a, args);
    if (n < 0) {
        args.p[k] = nullptr;
        return;
    }
    if (a.type == "int*") {
        args.p[k] = buffers.ints(static_cast<std::size_t>(n), 1);
    } else if (a.type == "double*") {
        args.p[k] = buffers.doubles(static_cast<std::size_t>(n), fill);
    } else {
        const long long rows = evalExtent(a.extents[0], f, args), cols = evalExtent(a.extents[1], f, args);
        args.p[k] = buffers.rows(static_cast<std::size_t>(rows), static_cast<std::size_t>(cols));
    }
}

Args validArgs(const Function& f, Buffers& buffers) {
    Args args;
    for (std::size_t k = 0; k < f.args.size(); ++k) {
        const Argument& a = f.args[k];
        if (a.type == "int") args.i[k] = validInt(a);
        if (a.type == "double") args.d[k] = validDouble(a);
    }
    for (std::size_t k = 0; k < f.args.size(); ++k)
        if (f.args[k].type != "int" && f.args[k].type != "double")
            allocate(f, static_cast<int>(k), args, buffers, fillOf(f.args[k]));
    return args;
}

} // namespace calls
