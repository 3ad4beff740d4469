// Loading of the component table and the ideal-gas heat-capacity functions.
//
// The table is read once, on first use, through a function-local static (so
// initialisation is thread-safe) and never changes afterwards.
#include "components/database.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <unordered_map>

#include "core/data_files.h"


namespace zpk::components {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr const char* kFileName = "components.tsv";

// Column order of the data file (after the leading '#' comment lines and the
// header line, which must match this list).
const std::array<const char*, 34> kColumns = {
    "index", "cas", "name",  "name1", "name2",  "formula", "mw",  "tc",  "pc",  "vc",  "omega", "tb",
    "tm",    "hf",  "gf",    "s0",    "dipole", "rg",      "zra", "sol", "cp0", "cp",  "vp",    "ld",
    "hv",    "lcp", "lvisc", "gvisc", "lk",     "gk",      "st",  "sd",  "scp", "hfus"};

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> out;
    std::string::size_type start = 0;
    for (;;) {
        auto pos = line.find('\t', start);
        if (pos == std::string::npos) {
            out.push_back(line.substr(start));
            return out;
        }
        out.push_back(line.substr(start, pos - start));
        start = pos + 1;
    }
}

// A number cell: empty or "nan" means missing.
bool parseNumber(const std::string& s, double& v) {
    if (s.empty() || s == "nan" || s == "NaN") {
        v = kNaN;
        return true;
    }
    const char* b = s.c_str();
    char* e = nullptr;
    v = std::strtod(b, &e);
    return e != b && *e == '\0' && std::isfinite(v);
}

// Splits "a;b;c" into numbers; all must be valid.
bool parseList(const std::string& s, std::vector<double>& v) {
    v.clear();
    std::string::size_type start = 0;
    for (;;) {
        auto pos = s.find(';', start);
        std::string item = s.substr(start, pos == std::string::npos ? std::string::npos : pos - start);
        double x;
        if (item.empty() || !parseNumber(item, x) || std::isnan(x)) return false;
        v.push_back(x);
        if (pos == std::string::npos) return true;
        start = pos + 1;
    }
}

// "form;tmin;tmax;c1;c2;..." or empty.
bool parseCorrelation(const std::string& s, int& eq, double& tmin, double& tmax, std::vector<double>& c) {
    eq = 0;
    c.clear();
    tmin = tmax = 0;
    if (s.empty()) return true;
    std::vector<double> v;
    if (!parseList(s, v) || v.size() < 4) return false;
    if (v[0] != std::floor(v[0]) || v[0] <= 0) return false;
    eq = static_cast<int>(v[0]);
    tmin = v[1];
    tmax = v[2];
    if (tmin < 0 || tmax < tmin) return false;
    c.assign(v.begin() + 3, v.end());
    return true;
}

struct Database {
    std::vector<Component> items;
    std::unordered_map<std::int64_t, int> byCas;
    std::string error;
    std::string file;
    int maxName = 0, maxFormula = 0;
};

// The data folders in their search order (core/data_files.h).  A file that
// exists but cannot be parsed (for instance an installed copy older than the
// library) is passed over when the next one loads; if none loads, the first
// error is what every component function reports.
Database load() {
    Database db;
    std::string firstError;
    for (const auto& folder : dataFolders()) {
        const std::string path = folder + kFileName;
        if (!std::ifstream(path)) continue;
        std::vector<Component> items;
        std::string error;
        if (!loadFile(path, items, error)) {
            if (firstError.empty()) firstError = "component database " + error;
            continue;
        }
        db.file = path;
        db.items = std::move(items);
        for (const auto& c : db.items) {
            db.byCas.emplace(c.cas, c.index);
            db.maxName = std::max(db.maxName, static_cast<int>(c.name.size()));
            db.maxName = std::max(db.maxName, static_cast<int>(c.name1.size()));
            db.maxName = std::max(db.maxName, static_cast<int>(c.name2.size()));
            db.maxFormula = std::max(db.maxFormula, static_cast<int>(c.formula.size()));
        }
        return db;
    }
    if (firstError.empty()) {
        std::string looked;
        for (const auto& folder : dataFolders()) looked += (looked.empty() ? "" : ", ") + folder + kFileName;
        firstError = "component database not found (looked for " + looked + ")";
    }
    db.error = firstError;
    return db;
}

const Database& database() {
    static const Database db = load();
    return db;
}

// ---- ideal-gas heat capacity -------------------------------------------

// Gauss-Legendre nodes and weights on [-1, 1], 5 points.
constexpr std::array<double, 5> kGLx = {0.0, -0.5384693101056831, 0.5384693101056831, -0.9061798459386640,
                                        0.9061798459386640};
constexpr std::array<double, 5> kGLw = {0.5688888888888889, 0.4786286704993665, 0.4786286704993665,
                                        0.2369268850561891, 0.2369268850561891};

// Integral of g(T) dT / T from a to b (0 < a < b), i.e. of g(e^s) ds over
// s = ln T: composite 5-point Gauss-Legendre on panels of at most 0.2 in
// ln T (a 22 % step in T), which resolves the smooth heat-capacity forms to
// rounding level over any range from a few kelvin up.
template <class F> double integrateLog(F&& g, double a, double b) {
    if (a == b) return 0.0;
    const double sa = std::log(a), sb = std::log(b);
    const int n = std::clamp(static_cast<int>(std::ceil(std::abs(sb - sa) / 0.2)), 2, 400);
    const double h = (sb - sa) / n;
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const double mid = sa + (i + 0.5) * h;
        double s = 0;
        for (std::size_t k = 0; k < kGLx.size(); ++k)
            s += kGLw[k] * g(std::exp(mid + 0.5 * h * kGLx[k]));
        sum += s * 0.5 * h;
    }
    return sum;
}

double coeff(const std::vector<double>& c, std::size_t i) {
    return i < c.size() ? c[i] : 0.0;
}

// ln(sinh x) and ln(cosh x) without overflow for x > 0.
double logSinh(double x) {
    return x + std::log1p(-std::exp(-2 * x)) - std::log(2.0);
}
double logCosh(double x) {
    return x + std::log1p(std::exp(-2 * x)) - std::log(2.0);
}

// Core form inside its fit range: value, and closed-form antiderivatives of
// Cp and Cp/T where one exists (nullopt: integrate numerically).
double coreCp(const IdealGasCp& f, double T) {
    const auto& a = f.coeffs;
    switch (f.form) {
    case CpDippr16:
        return (coeff(a, 0) +
                std::exp(coeff(a, 1) / T + coeff(a, 2) + coeff(a, 3) * T + coeff(a, 4) * T * T)) /
               1000.0;
    case CpAlyLee: {
        const double x = coeff(a, 2) / T, y = coeff(a, 4) / T;
        const double sx = x == 0 ? 1.0 : x / std::sinh(x);
        const double cy = y / std::cosh(y);
        return (coeff(a, 0) + coeff(a, 1) * sx * sx + coeff(a, 3) * cy * cy) / 1000.0;
    }
    case CpPolynomial: {
        double v = 0;
        for (std::size_t i = a.size(); i-- > 0;)
            v = v * T + a[i];
        return v;
    }
    case CpPlanckEinstein: {
        double v = coeff(a, 1);
        for (std::size_t k = 2; k + 1 < a.size(); k += 2) {
            const double n = a[k], th = a[k + 1];
            const double u = std::abs(th) / T;
            if (u > 600) continue;
            const double eu = std::exp(u);
            const double d = th > 0 ? std::expm1(u) : eu + 1;
            v += n * u * u * eu / (d * d);
        }
        return coeff(a, 0) * v;
    }
    case CpTRC: {
        const double a7 = coeff(a, 8);
        const double y = T <= a7 ? 0.0 : (T - a7) / (T + coeff(a, 7));
        const double y2 = y * y, y8 = y2 * y2 * y2 * y2;
        const double tail = y8 == 0 ? 0.0 : (coeff(a, 5) - coeff(a, 6) / ((T - a7) * (T - a7))) * y8;
        return coeff(a, 0) *
               (coeff(a, 1) + coeff(a, 2) / (T * T) * std::exp(-coeff(a, 3) / T) + coeff(a, 4) * y2 + tail);
    }
    default:
        return kNaN;
    }
}

std::optional<double> coreH(const IdealGasCp& f, double T) {
    const auto& a = f.coeffs;
    switch (f.form) {
    case CpAlyLee: {
        const double C = coeff(a, 2), E = coeff(a, 4);
        const double x = C / T, y = E / T;
        const double bterm = C == 0 ? coeff(a, 1) * T : coeff(a, 1) * C / std::tanh(x);
        return (coeff(a, 0) * T + bterm - coeff(a, 3) * E * std::tanh(y)) / 1000.0;
    }
    case CpPolynomial: {
        double v = 0;
        for (std::size_t i = a.size(); i-- > 0;)
            v = v * T + a[i] / static_cast<double>(i + 1);
        return v * T;
    }
    case CpPlanckEinstein: {
        double v = coeff(a, 1) * T;
        for (std::size_t k = 2; k + 1 < a.size(); k += 2) {
            const double n = a[k], th = a[k + 1];
            const double u = std::abs(th) / T;
            if (u > 600) continue;
            v += n * std::abs(th) / (th > 0 ? std::expm1(u) : std::exp(u) + 1);
        }
        return coeff(a, 0) * v;
    }
    default:
        return std::nullopt;
    }
}

std::optional<double> coreS(const IdealGasCp& f, double T) {
    const auto& a = f.coeffs;
    switch (f.form) {
    case CpAlyLee: {
        const double C = coeff(a, 2), E = coeff(a, 4);
        const double x = std::abs(C / T), y = std::abs(E / T);
        const double bterm =
            x == 0 ? coeff(a, 1) * std::log(T) : coeff(a, 1) * (x / std::tanh(x) - logSinh(x));
        const double dterm = y == 0 ? 0.0 : coeff(a, 3) * (y * std::tanh(y) - logCosh(y));
        return (coeff(a, 0) * std::log(T) + bterm - dterm) / 1000.0;
    }
    case CpPolynomial: {
        double v = 0;
        for (std::size_t i = a.size(); i-- > 1;)
            v = v * T + a[i] / static_cast<double>(i);
        return v * T + coeff(a, 0) * std::log(T);
    }
    case CpPlanckEinstein: {
        double v = coeff(a, 1) * std::log(T);
        for (std::size_t k = 2; k + 1 < a.size(); k += 2) {
            const double n = a[k], th = a[k + 1];
            const double u = std::abs(th) / T;
            if (u > 600) continue;
            if (th > 0)
                v += n * (u / std::expm1(u) - std::log1p(-std::exp(-u)));
            else
                v += n * (u / (std::exp(u) + 1) + std::log1p(std::exp(-u)));
        }
        return coeff(a, 0) * v;
    }
    default:
        return std::nullopt;
    }
}

// The piecewise description of Cp over all T > 0:
//   T < tmin:  cp0 + (Cp(tmin) - cp0) g(T / tmin), g(x) = (3 - s) x^2 + (s - 2) x^3,
//              a cubic that matches value and slope at tmin and levels off
//              with zero slope to the low-temperature limit cp0.  s is the
//              fit's relative slope at tmin, clamped to [-3, 3]: g stays >= 0
//              on [0, 1], so the blend never undershoots cp0, and for s in
//              [0, 3] it is monotone (a fit that falls at tmin gives a mild
//              overshoot of at most 28 % of the span rather than a kink);
//   tmin..tmax: the stored form;
//   T > tmax:  linear continuation with the slope at tmax (0 if negative).
// The Planck-Einstein form is physical at every temperature and is used
// without pieces.
struct Pieces {
    bool whole = false; // form valid everywhere
    double tmin = 0, tmax = 0;
    double low = 0, span = 0, s = 0; // low-T blend: cp0, Cp(tmin) - cp0, shape
    double cpMax = 0, slopeMax = 0;  // high-T continuation
};

Pieces pieces(const Component& c) {
    Pieces p;
    const auto& f = c.cp;
    if (f.form == CpPlanckEinstein || f.tmax <= 0) {
        p.whole = true;
        return p;
    }
    p.tmin = std::max(f.tmin, 1e-3);
    p.tmax = std::max(f.tmax, p.tmin);
    const double c1 = coreCp(f, p.tmin);
    const double h = 1e-4 * p.tmin;
    const double d1 = (coreCp(f, p.tmin + h) - c1) / h;
    double lim = std::isfinite(c.cp0) && c.cp0 > 0 ? c.cp0 : c1;
    if (lim > c1) lim = c1;
    p.low = lim;
    p.span = c1 - lim;
    p.s = p.span > 0 ? std::clamp(p.tmin * d1 / p.span, -3.0, 3.0) : 0.0;
    p.cpMax = coreCp(f, p.tmax);
    const double h2 = 1e-4 * p.tmax;
    p.slopeMax = std::max(0.0, (p.cpMax - coreCp(f, p.tmax - h2)) / h2);
    return p;
}

double lowCp(const Pieces& p, double T) {
    const double x = T / p.tmin;
    return p.low + p.span * x * x * ((3 - p.s) + (p.s - 2) * x);
}
double lowH(const Pieces& p, double T) { // antiderivative of lowCp
    const double x = T / p.tmin;
    return p.low * T + p.span * p.tmin * x * x * x * ((3 - p.s) / 3 + (p.s - 2) * x / 4);
}
double lowS(const Pieces& p, double T) { // antiderivative of lowCp / T
    const double x = T / p.tmin;
    return p.low * std::log(T) + p.span * x * x * ((3 - p.s) / 2 + (p.s - 2) * x / 3);
}

// The TRC form switches on its y terms at a7 (value and slope continuous,
// curvature not): quadrature panels must not straddle that point.
double trcSwitch(const IdealGasCp& f, double a, double b) {
    if (f.form != CpTRC) return 0;
    const double a7 = coeff(f.coeffs, 8);
    return a7 > a && a7 < b ? a7 : 0;
}

double coreDeltaH(const IdealGasCp& f, double a, double b) {
    if (const double m = trcSwitch(f, a, b)) return coreDeltaH(f, a, m) + coreDeltaH(f, m, b);
    auto ha = coreH(f, a), hb = coreH(f, b);
    if (ha && hb) return *hb - *ha;
    return integrateLog([&](double t) { return coreCp(f, t) * t; }, a, b);
}
double coreDeltaS(const IdealGasCp& f, double a, double b) {
    if (const double m = trcSwitch(f, a, b)) return coreDeltaS(f, a, m) + coreDeltaS(f, m, b);
    auto sa = coreS(f, a), sb = coreS(f, b);
    if (sa && sb) return *sb - *sa;
    return integrateLog([&](double t) { return coreCp(f, t); }, a, b);
}

// Integral from a to b (a <= b) of Cp (entropy: Cp / T) over the pieces.
double piecewise(const Component& c, double a, double b, bool entropy) {
    const Pieces p = pieces(c);
    if (p.whole) return entropy ? coreDeltaS(c.cp, a, b) : coreDeltaH(c.cp, a, b);
    double sum = 0;
    if (a < p.tmin) {
        const double e = std::min(b, p.tmin);
        sum += entropy ? lowS(p, e) - lowS(p, a) : lowH(p, e) - lowH(p, a);
        a = e;
    }
    if (a < b && a < p.tmax) {
        const double e = std::min(b, p.tmax);
        sum += entropy ? coreDeltaS(c.cp, a, e) : coreDeltaH(c.cp, a, e);
        a = e;
    }
    if (a < b) {
        // cp = cpMax + m (T - tmax)
        const double m = p.slopeMax;
        if (entropy)
            sum += (p.cpMax - m * p.tmax) * std::log(b / a) + m * (b - a);
        else
            sum += p.cpMax * (b - a) + 0.5 * m * ((b - p.tmax) * (b - p.tmax) - (a - p.tmax) * (a - p.tmax));
    }
    return sum;
}

double signedIntegral(const Component& c, double T0, double T, bool entropy) {
    if (c.cp.form == CpNone || !(T0 > 0) || !(T > 0) || !std::isfinite(T0) || !std::isfinite(T)) return kNaN;
    if (T0 == T) return 0.0;
    const double v = T0 < T ? piecewise(c, T0, T, entropy) : -piecewise(c, T, T0, entropy);
    return std::isfinite(v) ? v : kNaN;
}

} // namespace

bool parseTable(std::istream& in, std::vector<Component>& out, std::string& error) {
    out.clear();
    std::unordered_map<std::int64_t, int> seen;
    std::string line;
    int lineNo = 0;
    bool header = false;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        auto cells = splitTabs(line);
        auto fail = [&](const std::string& what) {
            error = "line " + std::to_string(lineNo) + ": " + what;
            out.clear();
            return false;
        };
        if (!header) {
            if (cells.size() != kColumns.size()) return fail("header has wrong number of columns");
            for (std::size_t i = 0; i < kColumns.size(); ++i)
                if (cells[i] != kColumns[i])
                    return fail("header column " + cells[i] + ", expected " + kColumns[i]);
            header = true;
            continue;
        }
        if (cells.size() != kColumns.size())
            return fail("expected " + std::to_string(kColumns.size()) + " columns, found " +
                        std::to_string(cells.size()));
        Component c;
        double idx, cas;
        if (!parseNumber(cells[0], idx) || idx != static_cast<double>(out.size() + 1))
            return fail("index must be " + std::to_string(out.size() + 1));
        if (!parseNumber(cells[1], cas) || !(cas > 0) || cas != std::floor(cas) || cas > 2147483647.0)
            return fail("bad CAS number '" + cells[1] + "'");
        c.index = static_cast<int>(idx);
        c.cas = static_cast<std::int64_t>(cas);
        if (seen.count(c.cas)) return fail("duplicate CAS number " + cells[1]);
        seen.emplace(c.cas, c.index);
        c.name = cells[2];
        c.name1 = cells[3];
        c.name2 = cells[4];
        c.formula = cells[5];
        if (c.name.empty()) return fail("empty name");
        double* numbers[] = {&c.mw, &c.tc, &c.pc,     &c.vc, &c.omega, &c.tb,  &c.tm, &c.hf,
                             &c.gf, &c.s0, &c.dipole, &c.rg, &c.zra,   &c.sol, &c.cp0};
        for (std::size_t i = 0; i < std::size(numbers); ++i)
            if (!parseNumber(cells[6 + i], *numbers[i]))
                return fail(std::string("bad number in column ") + kColumns[6 + i] + ": '" + cells[6 + i] +
                            "'");
        if (!parseCorrelation(cells[21], c.cp.form, c.cp.tmin, c.cp.tmax, c.cp.coeffs) || c.cp.form > CpTRC)
            return fail("bad ideal-gas heat capacity '" + cells[21] + "'");
        Correlation* corr[] = {&c.vp, &c.ld, &c.hv, &c.lcp, &c.lvisc, &c.gvisc,
                               &c.lk, &c.gk, &c.st, &c.sd,  &c.scp};
        for (std::size_t i = 0; i < std::size(corr); ++i)
            if (!parseCorrelation(cells[22 + i], corr[i]->eq, corr[i]->tmin, corr[i]->tmax, corr[i]->c))
                return fail(std::string("bad correlation in column ") + kColumns[22 + i]);
        if (!parseNumber(cells[33], c.hfus) || c.hfus < 0)
            return fail("bad number in column hfus: '" + cells[33] + "'");
        // Entropy of formation from the elements follows from hf and gf.
        c.sf = (c.hf - c.gf) / 298.15;
        out.push_back(std::move(c));
    }
    if (!header) {
        error = "no header line";
        return false;
    }
    if (out.empty()) {
        error = "no components";
        return false;
    }
    return true;
}

bool loadFile(const std::string& path, std::vector<Component>& out, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        out.clear();
        return false;
    }
    std::string err;
    if (!parseTable(in, out, err)) {
        error = path + ": " + err;
        return false;
    }
    return true;
}

int count() {
    return static_cast<int>(database().items.size());
}

const Component* byIndex(int index) {
    const auto& db = database();
    if (index < 1 || index > static_cast<int>(db.items.size())) return nullptr;
    return &db.items[static_cast<std::size_t>(index - 1)];
}

int indexOfCas(std::int64_t cas) {
    const auto& db = database();
    auto it = db.byCas.find(cas);
    return it == db.byCas.end() ? 0 : it->second;
}

const std::string& loadError() {
    return database().error;
}
const std::string& dataFile() {
    return database().file;
}
int maxNameLength() {
    return database().maxName;
}
int maxFormulaLength() {
    return database().maxFormula;
}

double idealCp(const Component& c, double T) {
    if (c.cp.form == CpNone || !(T > 0) || !std::isfinite(T)) return kNaN;
    const Pieces p = pieces(c);
    double v;
    if (p.whole || (T >= p.tmin && T <= p.tmax))
        v = coreCp(c.cp, T);
    else if (T < p.tmin)
        v = lowCp(p, T);
    else
        v = p.cpMax + p.slopeMax * (T - p.tmax);
    return std::isfinite(v) ? v : kNaN;
}

double idealDeltaH(const Component& c, double T0, double T) {
    return signedIntegral(c, T0, T, false);
}
double idealDeltaS(const Component& c, double T0, double T) {
    return signedIntegral(c, T0, T, true);
}

double evaluate(const Correlation& k, double T) {
    if (k.eq == 0 || !std::isfinite(T) || !(T > 0)) return kNaN;
    const auto& a = k.c;
    const double A = coeff(a, 0), B = coeff(a, 1), C = coeff(a, 2), D = coeff(a, 3), E = coeff(a, 4);
    double v = kNaN;
    switch (k.eq) {
    case 1:
        v = A;
        break;
    case 2:
        v = A + B * T;
        break;
    case 4:
        v = A + T * (B + T * (C + T * D));
        break;
    case 10: // Antoine, ln(P) = A - B / (T + C)
        v = std::exp(A - B / (T + C));
        break;
    case 16:
        v = A + std::exp(B / T + C + D * T + E * T * T);
        break;
    case 100:
        v = A + T * (B + T * (C + T * (D + T * E)));
        break;
    case 101:
        v = std::exp(A + B / T + C * std::log(T) + D * std::pow(T, E));
        break;
    case 102:
        v = A * std::pow(T, B) / (1 + C / T + D / (T * T));
        break;
    case 104:
        v = A + B / T + C / std::pow(T, 3) + D / std::pow(T, 8) + E / std::pow(T, 9);
        break;
    case 105: {
        const double t = 1 - T / C;
        v = t < 0 ? kNaN : A / std::pow(B, 1 + std::pow(t, D));
        break;
    }
    case 106: {
        const double tc = coeff(a, 5);
        const double tr = T / tc;
        v = tr >= 1 ? 0.0 : A * std::pow(1 - tr, B + tr * (C + tr * (D + tr * E)));
        break;
    }
    case 107: {
        IdealGasCp f{CpAlyLee, a, 0, 0};
        v = coreCp(f, T) * 1000.0;
        break;
    }
    default:
        v = kNaN;
    }
    return std::isfinite(v) ? v : kNaN;
}

} // namespace zpk::components
