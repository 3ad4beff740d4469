#include "transport/data.h"
#include "core/data_files.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>


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

} // namespace zpk::transport
