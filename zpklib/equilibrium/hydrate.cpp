#include "equilibrium/hydrate.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "core/data_files.h"
#include "core/error.h"
#include "equilibrium/tp_flash.h"

namespace zpk::hydrate {

using models::kR;
using models::PhaseProps;
using models::Root;

namespace {

constexpr double kBar = 1e5;        // Pa; Langmuir constants are per bar
constexpr double kIceP0 = 101325.0; // Pa, pressure of the ice melting point tm

std::ifstream openTable(const char* name) {
    std::ifstream in = openDataFile(name);
    if (!in) throw Error(std::string("hydrate data file ") + name + " not found", kFileError);
    return in;
}

// Data lines of a tab-separated table: comments (#) and the column header
// (first field not numeric and not a row key) are skipped by the callers.
bool dataLine(const std::string& line) {
    return !line.empty() && line[0] != '#';
}

Tables load() {
    Tables t;
    bool haveI = false, haveII = false, haveIce = false;
    {
        std::ifstream in = openTable("hydrate_lattice.tsv");
        std::string line;
        while (std::getline(in, line)) {
            if (!dataLine(line)) continue;
            std::istringstream ls(line);
            std::string key;
            ls >> key;
            if (key == "I" || key == "II") {
                LatticeConstants l;
                if (!(ls >> l.nuSmall >> l.nuLarge >> l.dmu0 >> l.dh0 >> l.dcp >> l.dv))
                    throw Error("hydrate_lattice.tsv: bad row " + key, kFileError);
                t.lattice[key == "I" ? 0 : 1] = l;
                (key == "I" ? haveI : haveII) = true;
            } else if (key == "ice") {
                IceConstants& c = t.ice;
                if (!(ls >> c.tm >> c.dhFus >> c.dcp >> c.dvIce))
                    throw Error("hydrate_lattice.tsv: bad ice row", kFileError);
                haveIce = true;
            }
        }
    }
    if (!haveI || !haveII || !haveIce) throw Error("hydrate_lattice.tsv: incomplete", kFileError);
    {
        std::ifstream in = openTable("hydrate_guests.tsv");
        std::string line;
        while (std::getline(in, line)) {
            if (!dataLine(line) || line.rfind("cas", 0) == 0) continue;
            // cas, name (may hold spaces), then eight numbers; tab-separated.
            std::vector<std::string> f;
            std::string cell;
            std::istringstream ls(line);
            while (std::getline(ls, cell, '\t'))
                f.push_back(cell);
            if (f.size() != 10) throw Error("hydrate_guests.tsv: bad row " + line, kFileError);
            GuestConstants g;
            g.cas = std::stoll(f[0]);
            for (int k = 0; k < 4; ++k) {
                LangmuirAB& ab = g.c[k / 2][k % 2];
                ab.a = std::stod(f[2 + 2 * k]);
                ab.b = std::stod(f[3 + 2 * k]);
            }
            t.guests.push_back(g);
        }
    }
    return t;
}

// Root of an increasing function h on [lo, hi], from x0 with a slope
// estimate s0 > 0.  Every step is a Newton step on the latest secant slope
// (s0 at the start): before the sign changes at most maxStep long, after it
// kept inside the bracket.  When two steps in a row have not halved |h| (a
// flat or curved stretch) the next step is maxStep before the sign changes
// and a bisection after.  A step shorter than tolX ends the search.  The
// driving forces here are nearly linear in the variable, so a call costs
// about four evaluations.
struct RootResult {
    int side = 0; // 0 root found; -1 h < 0 up to hi; +1 h > 0 down to lo
    double x = 0;
    double slope = 0; // the latest secant slope of h (s0 when none was taken)
};

RootResult solveIncreasing(const std::function<double(double)>& h, double x0, double s0, double maxStep,
                           double lo, double hi, double tolX, double tolH) {
    double x = std::clamp(x0, lo, hi), hx = h(x);
    double slope = s0;
    bool haveNeg = false, havePos = false;
    double xNeg = lo, xPos = hi, hNeg = 0, hPos = 0;
    int slow = 0;
    for (int it = 0; it < 100; ++it) {
        if (std::abs(hx) <= tolH) return {0, x, slope};
        if (hx < 0) {
            haveNeg = true, xNeg = x, hNeg = hx;
        } else {
            havePos = true, xPos = x, hPos = hx;
        }
        const double newton = -hx / slope;
        double next;
        if (haveNeg && havePos) {
            const double width = xPos - xNeg;
            if (width <= tolX) return {0, xNeg - hNeg * width / (hPos - hNeg), slope};
            next = x + newton;
            if (!(next > xNeg && next < xPos) || slow >= 2) {
                next = 0.5 * (xNeg + xPos);
                slow = 0;
            } else if (std::abs(newton) <= tolX) {
                return {0, next, slope};
            }
        } else {
            if (hx < 0 && x >= hi) return {-1, hi, slope};
            if (hx > 0 && x <= lo) return {+1, lo, slope};
            double step = std::clamp(newton, -maxStep, maxStep);
            if (slow >= 2) {
                step = std::copysign(maxStep, -hx);
                slow = 0;
            } else if (std::abs(step) <= tolX) {
                return {0, std::clamp(x + step, lo, hi), slope};
            }
            next = std::clamp(x + step, lo, hi);
        }
        const double hn = h(next);
        const double secant = (hn - hx) / (next - x);
        if (secant > 0 && std::isfinite(secant)) slope = secant;
        slow = std::abs(hn) > 0.5 * std::abs(hx) ? slow + 1 : 0;
        x = next;
        hx = hn;
    }
    throw Error("hydrate formation condition did not converge", kCalculation);
}

// The root of h (verified states) searched on hQuick (the same function on
// states not proven stable, cheaper).  The quick steps go to within 100 tolX
// (their superlinear convergence leaves the last point far closer); that
// point is evaluated on a verified state and accepted when a Newton step
// from there stays within tolX (the same phases, so the same function), or,
// for a root outside the range, when the verified sign agrees.  Otherwise a
// second round of quick steps to tolX follows from there, and after it
// verified steps alone.  With verifyStart the start (a formation point found
// before) is evaluated verified first: it ends the search when a Newton step
// from it stays within tolX.
RootResult solveVerified(const std::function<double(double)>& hQuick, const std::function<double(double)>& h,
                         double x0, double s0, double maxStep, double lo, double hi, double tolX, double tolH,
                         bool verifyStart) {
    double xKnown = std::clamp(x0, lo, hi), hKnown = 0;
    bool known = false;
    if (verifyStart) {
        hKnown = h(xKnown);
        // Returned unchanged, so that a repeated call gives the same answer.
        if (std::abs(hKnown) <= std::max(s0 * tolX, tolH)) return {0, xKnown, s0};
        known = true;
    }
    // A quick search's first evaluation is the verified one when known there.
    auto quick = [&](double x) {
        if (known && x == xKnown) {
            known = false;
            return hKnown;
        }
        known = false;
        return hQuick(x);
    };
    RootResult q = solveIncreasing(quick, xKnown, s0, maxStep, lo, hi, 100 * tolX, tolH);
    for (int round = 0; round < 2; ++round) {
        const double hv = h(q.x);
        if (q.side == 0 && std::abs(hv) <= std::max(q.slope * tolX, tolH))
            return {0, std::clamp(q.x - hv / q.slope, lo, hi), q.slope};
        if ((q.side < 0 && hv < 0) || (q.side > 0 && hv > 0)) return q;
        if (round == 1) return solveIncreasing(h, q.x, q.slope, maxStep, lo, hi, tolX, tolH);
        xKnown = q.x, hKnown = hv, known = true;
        q = solveIncreasing(quick, xKnown, q.slope, maxStep, lo, hi, tolX, tolH);
    }
    return q; // not reached
}

// ln f_i of position i in a phase evaluated by its fluid model.
double lnFugacity(const PhaseProps& p, const std::vector<double>& x, int i, double P) {
    double sum = 0;
    for (double v : x)
        sum += v;
    const double xi = x[i] / sum;
    if (!p.lnfx.empty()) return p.lnfx[i] + std::log(xi);
    return std::log(xi) + p.lnphi[i] + std::log(P);
}

// The last formation point this thread found on a fluid and feed, with the
// phases of the search's last trial point and the slopes of the driving
// force in ln P and T there.  A caller walking along a formation line (a
// table of HPFORM or HTFORM, or HTFORM at the pressure HPFORM returned)
// starts the next search on the line through it: the driving force is
// nearly linear in ln P and T, so the start lies close to the new point.
// A start is only a start: the search ends only where the driving force of
// a verified flash (flashTPFrom, falling back to the flash from the feed)
// vanishes.
class FormationMemory {
  public:
    struct Point {
        double T = 0, P = 0;
        double slopeLnP = 0, slopeT = 0; // d(-force)/d ln P and d force/d T, 0 unknown
        std::vector<equilibrium::Phase> phases;
    };
    // The last point on this fluid and feed, or nullptr.
    const Point* find(const equilibrium::FluidSystem& f, const std::vector<double>& z) const {
        return valid_ && vapour_ == f.vapour && liquid_ == f.liquid && maxPhases_ == f.maxPhases && z_ == z
                   ? &point_
                   : nullptr;
    }
    // Keeps a point; a slope of 0 keeps the one known for this fluid and feed.
    void store(const equilibrium::FluidSystem& f, const std::vector<double>& z, double T, double P,
               double slopeLnP, double slopeT, const std::vector<equilibrium::Phase>& phases) {
        if (!find(f, z)) point_.slopeLnP = point_.slopeT = 0;
        valid_ = true;
        vapour_ = f.vapour, liquid_ = f.liquid, maxPhases_ = f.maxPhases;
        z_ = z;
        point_.T = T, point_.P = P;
        if (slopeLnP > 0) point_.slopeLnP = slopeLnP;
        if (slopeT > 0) point_.slopeT = slopeT;
        point_.phases = phases;
    }

  private:
    bool valid_ = false;
    const models::PhaseModel* vapour_ = nullptr;
    const models::PhaseModel* liquid_ = nullptr;
    int maxPhases_ = 0;
    std::vector<double> z_;
    Point point_;
};

thread_local FormationMemory formationMemory;

// Slopes of the driving force for a gas (filled cavities per water molecule
// in ln P; formation enthalpy per water over R T^2 in T), used until a search
// on the fluid has measured them.
constexpr double kSlopeLnP = 0.15, kSlopeT = 0.014;
// A previous point farther away than this is no better than the fixed start.
constexpr double kNearT = 30.0, kNearLnP = 3.0;

// d ln P / d T along the formation line through a point.
double lineSlope(const FormationMemory::Point& p) {
    const double sP = p.slopeLnP > 0 ? p.slopeLnP : kSlopeLnP;
    const double sT = p.slopeT > 0 ? p.slopeT : kSlopeT;
    return sT / sP;
}

} // namespace

const GuestConstants* Tables::guest(std::int64_t cas) const {
    for (const auto& g : guests)
        if (g.cas == cas) return &g;
    return nullptr;
}

const Tables& tables() {
    static const Tables t = load();
    return t;
}

double emptyLatticePotential(const LatticeConstants& l, double T, double P) {
    const double T0 = Tables::kT0;
    return l.dmu0 / (kR * T0) + l.dh0 / kR * (1 / T - 1 / T0) - l.dcp / kR * (std::log(T / T0) + T0 / T - 1) +
           l.dv * P / (kR * T);
}

double icePotential(const IceConstants& ice, double T, double P) {
    const double r = ice.tm / T;
    return -ice.dhFus / (kR * ice.tm) * (r - 1) + ice.dcp / kR * (r - 1 - std::log(r)) +
           ice.dvIce * (P - kIceP0) / (kR * T);
}

double occupationTerm(const LatticeConstants& l, Structure s,
                      const std::vector<const GuestConstants*>& guests, double T,
                      const std::vector<double>& fugacity) {
    const int k = static_cast<int>(s);
    double small = 0, large = 0;
    for (std::size_t j = 0; j < guests.size(); ++j) {
        if (!guests[j] || !(fugacity[j] > 0)) continue;
        const double f = fugacity[j] / kBar;
        small += guests[j]->c[k][0].at(T) * f;
        large += guests[j]->c[k][1].at(T) * f;
    }
    return l.nuSmall * std::log1p(small) + l.nuLarge * std::log1p(large);
}

FormationModel::FormationModel(const equilibrium::FluidSystem& fluid, std::vector<double> z,
                               const std::vector<std::int64_t>& cas)
    : fluid_(fluid), z_(std::move(z)) {
    const Tables& t = tables();
    // Free water beside a hydrocarbon liquid is the usual case here: the
    // flash may always split off a second liquid.
    fluid_.maxPhases = std::max(fluid_.maxPhases, 3);
    bool anyGuest = false;
    for (std::size_t i = 0; i < cas.size(); ++i) {
        const GuestConstants* g = z_[i] > 0 ? t.guest(cas[i]) : nullptr;
        guests_.push_back(g);
        anyGuest = anyGuest || g != nullptr;
        if (cas[i] == 7732185 && z_[i] > 0) water_ = static_cast<int>(i);
    }
    double sum = 0;
    for (double v : z_)
        sum += v;
    for (double v : z_)
        zn_.push_back(v / sum);
    if (water_ < 0) throw Error("stream has no water, so no hydrate can form", kBadArgument);
    if (!anyGuest) throw Error("stream has no hydrate-forming component", kBadArgument);
}

FluidState FormationModel::fluidState(double T, double P, std::vector<equilibrium::Phase>* warm,
                                      bool verified) const {
    equilibrium::FlashResult r;
    bool ok = false;
    if (!verified && warm && warm->size() >= 2) {
        // The warm phases' equilibrium at (T, P); the flash below when it
        // does not converge or leaves a single phase.
        r.phases = *warm;
        ok = equilibrium::solveEquilibrium(fluid_, T, P, zn_.data(), r.phases) && r.phases.size() >= 2;
    }
    // The flash can fail at isolated states (near a three-phase boundary);
    // it is then repeated at most 1e-4 away in pressure (relative) or 1e-5
    // in temperature, which moves a formation pressure by about as much.
    constexpr double kNudge[][2] = {{0, 0},     {1e-6, 0}, {-1e-6, 0}, {1e-4, 0},
                                    {-1e-4, 0}, {0, 1e-5}, {0, -1e-5}};
    for (const auto& d : kNudge) {
        if (ok) break;
        r = {};
        const double Tn = T * (1 + d[1]), Pn = P * (1 + d[0]);
        // Along a root search the neighbouring equilibrium is the better start.
        ok = (warm && !warm->empty() && d[0] == 0 && d[1] == 0
                  ? equilibrium::flashTPFrom(fluid_, Tn, Pn, z_.data(), *warm, r)
                  : equilibrium::flashTP(fluid_, Tn, Pn, z_.data(), r)) &&
             !r.phases.empty();
        if (ok) break;
    }
    if (warm) *warm = r.phases;
    if (!ok)
        throw Error("isothermal flash for the hydrate condition did not converge at T = " +
                        std::to_string(T) + " K, P = " + std::to_string(P) + " Pa",
                    kCalculation);
    const int n = fluid_.size();
    FluidState st;
    st.phases = static_cast<int>(r.phases.size());
    st.fugacity.assign(n, 0.0);
    // Fugacities are equal in all phases at equilibrium; each is taken from
    // the phase richest in the component, where it is known most precisely.
    thread_local std::vector<PhaseProps> props;
    props.resize(r.phases.size());
    for (std::size_t k = 0; k < r.phases.size(); ++k)
        if (!equilibrium::evalPhase(fluid_, T, P, r.phases[k].x.data(), Root::Stable, 0, props[k]))
            throw Error("fluid phase cannot be evaluated for the hydrate condition", kCalculation);
    double lnfw = 0;
    for (int i = 0; i < n; ++i) {
        if (!(z_[i] > 0) || (!guests_[i] && i != water_)) continue;
        std::size_t best = 0;
        for (std::size_t k = 1; k < r.phases.size(); ++k)
            if (r.phases[k].x[i] > r.phases[best].x[i]) best = k;
        const double lnf = lnFugacity(props[best], r.phases[best].x, i, P);
        st.fugacity[i] = std::exp(lnf);
        if (i == water_) lnfw = lnf;
    }
    // Pure liquid water at (T, P) in the same fluid model.
    thread_local std::vector<double> pure;
    pure.assign(n, 0.0);
    pure[water_] = 1.0;
    thread_local PhaseProps pw;
    if (!equilibrium::evalPhase(fluid_, T, P, pure.data(), Root::Liquid, 0, pw))
        throw Error("pure liquid water cannot be evaluated for the hydrate condition", kCalculation);
    const double lnfw0 = lnFugacity(pw, pure, water_, P);
    st.waterPotential = std::min(lnfw - lnfw0, icePotential(tables().ice, T, P));
    return st;
}

double FormationModel::potentialDifference(const FluidState& st, double T, double P, Structure s) const {
    const LatticeConstants& l = tables().lattice[static_cast<int>(s)];
    return emptyLatticePotential(l, T, P) - occupationTerm(l, s, guests_, T, st.fugacity) - st.waterPotential;
}

double FormationModel::drivingForce(double T, double P, Choice choice, std::vector<equilibrium::Phase>* warm,
                                    bool verified) const {
    const FluidState st = fluidState(T, P, warm, verified);
    switch (choice) {
    case Choice::OnlyI:
        return potentialDifference(st, T, P, Structure::I);
    case Choice::OnlyII:
        return potentialDifference(st, T, P, Structure::II);
    case Choice::MostStable:
        break;
    }
    return std::min(potentialDifference(st, T, P, Structure::I),
                    potentialDifference(st, T, P, Structure::II));
}

double FormationModel::formationPressure(double T, Choice choice) const {
    // The driving force falls with ln P (the guests' fugacities rise), by
    // about the filled cavities per water molecule (0.15 for a gas).
    const FormationMemory::Point* last = formationMemory.find(fluid_, z_);
    std::vector<equilibrium::Phase> warm;
    double u0 = std::log(2e6), s0 = kSlopeLnP;
    if (last) {
        warm = last->phases;
        if (last->slopeLnP > 0) s0 = last->slopeLnP;
        if (std::abs(T - last->T) <= kNearT) u0 = std::log(last->P) + lineSlope(*last) * (T - last->T);
    }
    auto quick = [&](double u) { return -drivingForce(T, std::exp(u), choice, &warm, false); };
    auto h = [&](double u) { return -drivingForce(T, std::exp(u), choice, &warm); };
    const RootResult r = solveVerified(quick, h, u0, s0, std::log(8.0), std::log(kPmin), std::log(kPmax),
                                       1e-6, 1e-11, last && T == last->T);
    if (r.side < 0) return 0.0; // no hydrate at any pressure searched
    if (r.side > 0) throw Error("hydrate is stable down to the lowest pressure searched", kCalculation);
    const double P = std::exp(r.x);
    formationMemory.store(fluid_, z_, T, P, r.slope, 0, warm);
    return P;
}

double FormationModel::formationTemperature(double P, Choice choice) const {
    // The driving force rises with T, by about the enthalpy of hydrate
    // formation per water molecule over R T^2 (0.014 1/K).
    const FormationMemory::Point* last = formationMemory.find(fluid_, z_);
    std::vector<equilibrium::Phase> warm;
    double T0 = 280.0, s0 = kSlopeT;
    if (last) {
        warm = last->phases;
        if (last->slopeT > 0) s0 = last->slopeT;
        const double du = std::log(P / last->P);
        if (std::abs(du) <= kNearLnP) T0 = last->T + du / lineSlope(*last);
    }
    auto quick = [&](double T) { return drivingForce(T, P, choice, &warm, false); };
    auto h = [&](double T) { return drivingForce(T, P, choice, &warm); };
    const RootResult r =
        solveVerified(quick, h, T0, s0, 15.0, kTmin, kTmax, 1e-4, 1e-11, last && P == last->P);
    if (r.side > 0) return 0.0; // no hydrate at any temperature searched
    if (r.side < 0) throw Error("hydrate is stable up to the highest temperature searched", kCalculation);
    formationMemory.store(fluid_, z_, r.x, P, 0, r.slope, warm);
    return r.x;
}

} // namespace zpk::hydrate
