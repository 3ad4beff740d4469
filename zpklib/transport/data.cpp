#include "transport/data.h"
#include "core/data_files.h"
#include "core/error.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace zpk::transport {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double cell(const std::string& s) {
    if (s.empty()) return kNaN;
    try {
        return std::stod(s);
    } catch (...) {
        return kNaN;
    }
}

using Table = std::map<std::int64_t, ExtraData>;

Table load() {
    Table t;
    if (std::ifstream in = openDataFile("transport_components.tsv"); in) {
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#' || line.compare(0, 3, "cas") == 0) continue;
            std::istringstream ls(line);
            std::string cas, name, p, k;
            std::getline(ls, cas, '\t');
            std::getline(ls, name, '\t');
            std::getline(ls, p, '\t');
            std::getline(ls, k, '\t');
            try {
                t[std::stoll(cas)] = ExtraData{cell(p), cell(k)};
            } catch (...) {
                continue;
            }
        }
    }
    return t;
}

const Table& table() {
    static const Table t = load();
    return t;
}

} // namespace

ExtraData extraData(std::int64_t cas) {
    const auto& t = table();
    auto it = t.find(cas);
    return it == t.end() ? ExtraData{kNaN, kNaN} : it->second;
}

double impliedParachor(const components::Component& c) {
    if (!(c.tc > 0)) return kNaN;
    const double T = 0.6 * c.tc;
    const double sigma = components::evaluate(c.st, T); // N/m
    const double rho = components::evaluate(c.ld, T);   // kmol/m3
    if (!(sigma > 0) || !(rho > 0)) return kNaN;
    return std::pow(sigma * 1e3, 0.25) / (rho * 1e-3);
}

double parachor(const components::Component& c) {
    const double table = extraData(c.cas).parachor, implied = impliedParachor(c);
    if (table > 0 && implied > 0) return std::fabs(table / implied - 1.0) <= 0.2 ? table : implied;
    if (implied > 0) return implied;
    if (table > 0) return table;
    return kNaN;
}

double kappa(const components::Component& c) {
    const double k = extraData(c.cas).kappa;
    return k > 0 ? k : 0.0;
}

namespace {

// The solid conductivity table, or the reason it could not be read (a
// damaged file fails every call that needs it instead of dropping rows).
struct SolidTable {
    std::map<std::int64_t, components::Correlation> rows;
    std::string error;
};

SolidTable loadSolid() {
    SolidTable t;
    std::ifstream in = openDataFile("solid_conductivity.tsv");
    if (!in) return t; // no file: no component has data
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#' || line.compare(0, 4, "cas\t") == 0) continue;
        std::istringstream ls(line);
        std::vector<std::string> f;
        for (std::string c; std::getline(ls, c, '\t');)
            f.push_back(c);
        components::Correlation k;
        double cas = kNaN, eq = kNaN;
        bool ok = f.size() >= 10;
        if (ok) {
            cas = cell(f[0]);
            eq = cell(f[2]);
            for (int i = 3; i < 8; ++i)
                k.c.push_back(cell(f[i]));
            k.tmin = cell(f[8]);
            k.tmax = cell(f[9]);
            ok = cas > 0 && eq == 104 && k.tmin > 0 && k.tmax > k.tmin;
            for (double v : k.c)
                ok = ok && std::isfinite(v);
        }
        if (!ok) {
            t.error = "solid_conductivity.tsv line " + std::to_string(number) + " is not a valid row";
            t.rows.clear();
            return t;
        }
        k.eq = static_cast<int>(eq);
        t.rows[static_cast<std::int64_t>(cas)] = k;
    }
    return t;
}

} // namespace

const components::Correlation& solidConductivity(std::int64_t cas) {
    static const SolidTable t = loadSolid();
    static const components::Correlation none{};
    if (!t.error.empty()) core::fail(t.error, kFileError);
    auto it = t.rows.find(cas);
    return it == t.rows.end() ? none : it->second;
}

} // namespace zpk::transport
