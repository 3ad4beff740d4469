#include "operations/fuel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <unordered_map>

#include "components/database.h"
#include "core/data_files.h"
#include "core/error.h"
#include "equilibrium/flashes.h"

namespace zpk::operations {

namespace {

// ---------------------------------------------------------------------------
// Flammability table (data/flammability.tsv), read once.

struct FlammabilityTable {
    std::unordered_map<std::int64_t, Flammability> rows;
    std::string error;
};

double cell(const std::string& s) {
    if (s.empty()) return kNaN;
    try {
        std::size_t used = 0;
        const double v = std::stod(s, &used);
        return used == s.size() ? v : kNaN;
    } catch (const std::exception&) {
        return kNaN;
    }
}

constexpr const char* kFile = "flammability.tsv";

// Columns: cas, name, tflash, its source, lfl, its source, ufl, its source.
FlammabilityTable loadTable() {
    FlammabilityTable t;
    std::ifstream in = openDataFile(kFile);
    if (!in) {
        t.error = std::string("data file ") + kFile + " not found";
        return t;
    }
    std::string line;
    bool header = false;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        if (!header) { // column names
            header = true;
            continue;
        }
        std::vector<std::string> cells;
        std::stringstream ss(line);
        for (std::string c; std::getline(ss, c, '\t');)
            cells.push_back(c);
        cells.resize(8);
        std::int64_t cas = 0;
        try {
            cas = std::stoll(cells[0]);
        } catch (const std::exception&) {
            t.rows.clear();
            t.error = std::string(kFile) + ": line " + std::to_string(lineNo) + ": bad CAS number";
            return t;
        }
        t.rows[cas] = Flammability{cell(cells[2]), cell(cells[4]), cell(cells[6])};
    }
    return t;
}

const FlammabilityTable& table() {
    static const FlammabilityTable t = loadTable();
    if (!t.error.empty()) throw Error(t.error, kFileError);
    return t;
}

// ---------------------------------------------------------------------------
// Flash point.

// Fugacity over mole fraction, f_i / x_i (Pa), of every component of the
// liquid x at T and the test pressure.
void liquidFugacities(const engine::StreamSystem& sys, double T, const std::vector<double>& x,
                      std::vector<double>& fx) {
    const models::PhaseModel& liq = *sys.fluid().liquid;
    models::PhaseProps p;
    if (!liq.evaluate(T, kFlashPointPressure, x.data(), models::Root::Liquid, 0, p))
        throw Error("liquid model cannot be evaluated at " + std::to_string(T) + " K", kCalculation);
    const int n = sys.size();
    fx.resize(n);
    for (int i = 0; i < n; ++i)
        fx[i] = p.lnfx.empty() ? std::exp(p.lnphi[i]) * kFlashPointPressure : std::exp(p.lnfx[i]);
}

// The flammable components of a liquid and their reference fugacities.
struct FlashProblem {
    const engine::StreamSystem* sys;
    std::vector<double> x;
    std::vector<int> flammable;
    std::vector<double> ref; // Pa, per flammable component
    double start = 0;        // a temperature to begin the search at, K

    // ln sum_i f_i(T) / f_i,ref: negative below the flash point, rising with T.
    double residual(double T) const {
        std::vector<double> fx;
        liquidFugacities(*sys, T, x, fx);
        double sum = 0;
        for (std::size_t k = 0; k < flammable.size(); ++k) {
            const int i = flammable[k];
            sum += x[i] * fx[i] / ref[k];
        }
        if (!(sum > 0) || !std::isfinite(sum))
            throw Error("liquid fugacities are not finite at " + std::to_string(T) + " K", kCalculation);
        return std::log(sum);
    }
};

FlashProblem setUp(const engine::StreamSystem& sys, const std::vector<double>& xIn) {
    const int n = sys.size();
    if (static_cast<int>(xIn.size()) != n) throw Error("composition has the wrong size", kBadArgument);
    double total = 0;
    for (double v : xIn) {
        if (!(v >= 0) || !std::isfinite(v)) throw Error("composition is not valid", kBadArgument);
        total += v;
    }
    if (!(total > 0)) throw Error("composition is empty", kBadArgument);
    FlashProblem fp;
    fp.sys = &sys;
    fp.x.resize(n);
    for (int i = 0; i < n; ++i)
        fp.x[i] = xIn[i] / total;
    const auto& tab = table().rows;
    double startSum = 0, startW = 0;
    for (int i = 0; i < n; ++i) {
        if (fp.x[i] <= 0) continue;
        auto it = tab.find(sys.component(i).cas);
        if (it == tab.end()) continue;
        const Flammability& d = it->second;
        double ref = kNaN;
        double tGuess = kNaN;
        if (std::isfinite(d.flashPoint)) {
            // The pure liquid at its own flash point.
            std::vector<double> e(n, 0.0), fx;
            e[i] = 1.0;
            liquidFugacities(sys, d.flashPoint, e, fx);
            ref = fx[i];
            tGuess = d.flashPoint;
        } else if (d.lowerLimit > 0) {
            ref = d.lowerLimit * kFlashPointPressure;
            tGuess = std::max(0.5 * sys.component(i).tc, 50.0);
        }
        if (!(ref > 0) || !std::isfinite(ref)) continue;
        fp.flammable.push_back(i);
        fp.ref.push_back(ref);
        startSum += fp.x[i] * tGuess;
        startW += fp.x[i];
    }
    if (fp.flammable.empty()) throw Error("the liquid has no flammable component", kBadArgument);
    fp.start = startSum / startW;
    return fp;
}

} // namespace

bool flammability(std::int64_t cas, Flammability& out) {
    const auto& rows = table().rows;
    auto it = rows.find(cas);
    if (it == rows.end()) return false;
    out = it->second;
    return true;
}

namespace {

double solveFlashPoint(const FlashProblem& fp) {
    constexpr double kLow = 20.0, kHigh = 1000.0;
    // Bracket the root: the residual is close to linear in 1/T.
    double a = std::clamp(fp.start, kLow, kHigh);
    double fa = fp.residual(a);
    double b = a, fb = fa;
    const double factor = 1.1;
    while (fa > 0) { // flash point lies below a
        b = a;
        fb = fa;
        if (a <= kLow) throw Error("the liquid has no flash point above 20 K", kCalculation);
        a = std::max(a / factor, kLow);
        fa = fp.residual(a);
    }
    while (fb < 0) { // flash point lies above b
        a = b;
        fa = fb;
        if (b >= kHigh) throw Error("the liquid has no flash point below 1000 K", kCalculation);
        b = std::min(b * factor, kHigh);
        fb = fp.residual(b);
    }
    if (fa == 0) return a;
    if (fb == 0) return b;
    // Regula falsi (Illinois) in u = 1/T, kept inside the bracket.
    double ua = 1 / a, ub = 1 / b;
    int side = 0;
    for (int it = 0; it < 100; ++it) {
        double u = (ua * fb - ub * fa) / (fb - fa);
        if (!(u < std::max(ua, ub) && u > std::min(ua, ub))) u = 0.5 * (ua + ub);
        const double fu = fp.residual(1 / u);
        if (std::fabs(fu) < 1e-12 || std::fabs(ua - ub) < 1e-14 * u) return 1 / u;
        if ((fu > 0) == (fb > 0)) {
            ub = u;
            fb = fu;
            if (side == -1) fa *= 0.5;
            side = -1;
        } else {
            ua = u;
            fa = fu;
            if (side == 1) fb *= 0.5;
            side = 1;
        }
    }
    return 2 / (ua + ub);
}

} // namespace

double flashPoint(const engine::StreamSystem& sys, const std::vector<double>& x) {
    const FlashProblem fp = setUp(sys, x);
    const double T = solveFlashPoint(fp);
    // The model needs air over the liquid: a liquid whose vapour pressure
    // (sum of all its fugacities, flammable or not) reaches the test pressure
    // boils before its vapour becomes flammable and has no flash point.
    std::vector<double> fx;
    liquidFugacities(sys, T, fp.x, fx);
    double total = 0;
    for (int i = 0; i < sys.size(); ++i)
        total += fp.x[i] * fx[i];
    if (total >= kFlashPointPressure)
        throw Error(
            "the liquid boils at 101325 Pa below the temperature where its vapour becomes flammable (" +
                std::to_string(T) + " K): no flash point",
            kCalculation);
    return T;
}

// ---------------------------------------------------------------------------
// Reid vapour pressure.

namespace {

// Vapour volume fraction V_vap / (V_vap + V_liq) of the feed at (T, P).
double vapourVolumeFraction(const engine::StreamSystem& sys, double T, double P) {
    auto st = sys.flash(T, P);
    double vv = 0, vl = 0;
    for (const auto& ph : st->phases)
        (ph.kind == models::kVapour ? vv : vl) += ph.beta * ph.v;
    return vv / (vv + vl);
}

} // namespace

double reidVapourPressure(const engine::StreamSystem& sys, int method) {
    const double T = kReidTemperature;
    if (method == 2) {
        auto st = engine::liquidFractionFlash(sys, T, false, 1.0);
        return st->P;
    }
    if (method != 0 && method != 1)
        throw Error("vapour pressure method " + std::to_string(method) + " is not 0, 1 or 2", kBadArgument);
    const double target = kReidVolumeRatio / (1 + kReidVolumeRatio);
    auto g = [&](double P) { return vapourVolumeFraction(sys, T, P) - target; };
    // Bracket in pressure: the vapour volume fraction falls as P rises.
    double lo = 1e5, glo = g(lo), hi = lo, ghi = glo;
    while (glo < 0) {
        hi = lo;
        ghi = glo;
        lo *= 0.5;
        if (lo < 1.0) throw Error("no vapour pressure above 1 Pa at 37.8 C", kCalculation);
        glo = g(lo);
    }
    while (ghi > 0) {
        lo = hi;
        glo = ghi;
        hi *= 2;
        if (hi > 1e9) throw Error("no vapour pressure below 1 GPa at 37.8 C", kCalculation);
        ghi = g(hi);
    }
    // Illinois regula falsi in ln P, falling back to bisection; the function
    // jumps at the saturation pressure of a pure fluid, where the bracket
    // closes on that pressure.
    double a = std::log(lo), b = std::log(hi), fa = glo, fb = ghi;
    int side = 0;
    for (int it = 0; it < 200 && b - a > 1e-11; ++it) {
        double c = (a * fb - b * fa) / (fb - fa);
        if (!(c > a && c < b) || it % 4 == 3) c = 0.5 * (a + b);
        const double fc = g(std::exp(c));
        if (std::fabs(fc) < 1e-12) return std::exp(c);
        if (fc > 0) {
            a = c;
            fa = fc;
            if (side == 1) fb *= 0.5;
            side = 1;
        } else {
            b = c;
            fb = fc;
            if (side == -1) fa *= 0.5;
            side = -1;
        }
    }
    return std::exp(0.5 * (a + b));
}

// ---------------------------------------------------------------------------
// Heating value.

namespace {

constexpr double kT0 = 298.15;

// Element counts of a formula in Hill notation ("C2H6O", "H2S", "Ar").
std::map<std::string, double> parseFormula(const std::string& f) {
    std::map<std::string, double> n;
    std::size_t i = 0;
    while (i < f.size()) {
        if (!std::isupper(static_cast<unsigned char>(f[i]))) throw Error("cannot read formula '" + f + "'");
        std::string el(1, f[i++]);
        while (i < f.size() && std::islower(static_cast<unsigned char>(f[i])))
            el += f[i++];
        std::size_t j = i;
        while (j < f.size() && std::isdigit(static_cast<unsigned char>(f[j])))
            ++j;
        n[el] += j > i ? std::stod(f.substr(i, j - i)) : 1.0;
        i = j;
    }
    if (n.empty()) throw Error("component has no formula");
    return n;
}

const components::Component& byCas(std::int64_t cas, const char* what) {
    const components::Component* c = components::byIndex(components::indexOfCas(cas));
    if (!c) throw Error(std::string("component database has no ") + what, kFileError);
    return *c;
}

// Formation enthalpy of an ideal gas at T, J/mol.
double formationH(const components::Component& c, double T) {
    const double dh = T == kT0 ? 0.0 : components::idealDeltaH(c, kT0, T);
    if (!std::isfinite(c.hf) || !std::isfinite(dh))
        throw Error("no formation enthalpy or heat capacity for " + c.name + " at " + std::to_string(T) +
                    " K");
    return c.hf + dh;
}

} // namespace

bool isInert(std::int64_t cas) {
    static constexpr std::int64_t kInert[] = {7732185, 124389,  7727379, 7782447, 7446095, 7440597,
                                              7440019, 7440371, 7439909, 7440633, 10043922};
    return std::find(std::begin(kInert), std::end(kInert), cas) != std::end(kInert);
}

namespace {

// Net heat of combustion (J/mol) and the moles of water formed per mole of
// the component.
struct Combustion {
    double net = 0, water = 0;
};

Combustion combustion(const components::Component& c, double T) {
    if (isInert(c.cas)) return {};
    const auto& co2 = byCas(124389, "carbon dioxide");
    const auto& h2o = byCas(7732185, "water");
    const auto& so2 = byCas(7446095, "sulphur dioxide");
    const auto& o2 = byCas(7782447, "oxygen");
    const auto& n2 = byCas(7727379, "nitrogen");
    auto el = parseFormula(c.formula);
    double nc = 0, nh = 0, no = 0, nn = 0, ns = 0;
    for (const auto& [e, k] : el) {
        if (e == "C")
            nc = k;
        else if (e == "H")
            nh = k;
        else if (e == "O")
            no = k;
        else if (e == "N")
            nn = k;
        else if (e == "S")
            ns = k;
        else
            throw Error("no heating value for " + c.name + ": it contains " + e, kBadArgument);
    }
    const double o2Need = nc + nh / 4 + ns - no / 2;
    const double hReact = formationH(c, T) + o2Need * formationH(o2, T);
    const double hProd = nc * formationH(co2, T) + nh / 2 * formationH(h2o, T) + ns * formationH(so2, T) +
                         nn / 2 * formationH(n2, T);
    return {hReact - hProd, nh / 2};
}

} // namespace

double netHeatOfCombustion(const components::Component& c, double T) {
    if (!(T > 0) || !std::isfinite(T)) throw Error("temperature is not valid", kBadArgument);
    return combustion(c, T).net;
}

HeatingValue idealHeatingValue(const engine::StreamSystem& sys, double T) {
    if (!(T > 0) || !std::isfinite(T)) throw Error("temperature is not valid", kBadArgument);
    const auto& h2o = byCas(7732185, "water");
    const double latent = components::evaluate(h2o.hv, T) * 1e-3; // J/mol
    HeatingValue hv;
    hv.mw = sys.feedMw();
    const auto& z = sys.feed();
    for (int i = 0; i < sys.size(); ++i) {
        if (z[i] <= 0) continue;
        const Combustion b = combustion(sys.component(i), T);
        hv.net += z[i] * b.net;
        if (b.water > 0) {
            if (!(latent > 0)) throw Error("no heat of vaporisation of water at " + std::to_string(T) + " K");
            hv.gross += z[i] * (b.net + b.water * latent);
        } else {
            hv.gross += z[i] * b.net;
        }
    }
    return hv;
}

HeatingValue heatingValue(const engine::StreamSystem& sys, double T, double P) {
    HeatingValue hv = idealHeatingValue(sys, T);
    auto st = sys.flash(T, P);
    const double departure = engine::molarEnthalpy(*st) - sys.idealH(T, sys.feed().data());
    hv.gross += departure;
    hv.net += departure;
    return hv;
}

} // namespace zpk::operations
