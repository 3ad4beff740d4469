// C interface of the pure-component database: constants, names, the sorted
// user list and the temperature correlations of single components.
//
// Units: every value with a quantity code goes through the unit layer, so it
// comes back in the caller's current unit of that quantity (unit set 1: K,
// Pa, kg/kmol, m3/kmol, kJ/kg for formation values and heats of
// vaporisation, kg/m3, Pa s, W/(m K), N/m); temperature arguments are read in
// the current temperature unit.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "components/database.h"
#include "core/error.h"
#include "thermo/ideal_gas.h"
#include "transport/data.h"
#include "units/units.h"
#include "zpk/zpk.h"

namespace {

namespace db = zpk::components;
using zpk::kNaN;

namespace u = zpk::units;
// A base-unit value in the caller's unit of quantity q.
double user(int q, double base) {
    return u::toUser(q, base);
}
double userT(double kelvin) {
    return u::toUser(u::Temperature, kelvin);
}
double userP(double pascal) {
    return u::toUser(u::Pressure, pascal);
}
double kelvinFromUser(double t) {
    return u::fromUser(u::Temperature, t);
}

// The database, or an error naming why it is not there.
void requireLoaded() {
    if (!db::loadError().empty()) zpk::core::fail(db::loadError(), zpk::kInternal);
}

const db::Component& component(int index) {
    requireLoaded();
    const db::Component* c = db::byIndex(index);
    if (!c)
        zpk::core::fail("no component with index " + std::to_string(index) + " (valid: 1.." +
                        std::to_string(db::count()) + ")");
    return *c;
}

// A constant that may be missing: NaN with an error naming the component.
double present(double v, const db::Component& c, const char* what) {
    if (std::isnan(v))
        zpk::core::fail(std::string(what) + " of component " + std::to_string(c.index) + " (" + c.name +
                            ") is not in the database",
                        zpk::kNotDefined);
    return v;
}

double temperature(double tUser) {
    const double t = kelvinFromUser(tUser);
    if (!std::isfinite(t) || !(t > 0))
        zpk::core::fail("temperature " + std::to_string(tUser) + " is not a finite temperature above 0 K");
    return t;
}

// Properties of the saturated liquid or of vaporisation end at the critical
// point: above Tc there is no liquid to have them.
enum class Range { AnyTemperature, UpToCritical };

void requireSubcritical(const db::Component& c, double t, double tUser, const char* what) {
    if (!std::isnan(c.tc) && t > c.tc)
        zpk::core::fail("temperature " + std::to_string(tUser) + " is above the critical temperature " +
                        std::to_string(userT(c.tc)) + " of component " + std::to_string(c.index) + " (" +
                        c.name + "): no " + what + " there");
}

double correlation(const db::Component& c, const db::Correlation& k, double tUser, const char* what,
                   Range range = Range::AnyTemperature) {
    const double t = temperature(tUser);
    if (range == Range::UpToCritical) requireSubcritical(c, t, tUser, what);
    if (k.eq == 0)
        zpk::core::fail(std::string(what) + " correlation of component " + std::to_string(c.index) + " (" +
                            c.name + ") is not in the database",
                        zpk::kNotDefined);
    const double v = db::evaluate(k, t);
    if (std::isnan(v))
        zpk::core::fail(std::string(what) + " of component " + std::to_string(c.index) +
                            " not defined at T = " + std::to_string(t) + " K",
                        zpk::kCalculation);
    return v;
}

char* text(const std::string& s) {
    return const_cast<char*>(s.c_str());
}

// ---- user list -----------------------------------------------------------
// A process-wide ordering of all components by name, built by sortUL and read
// by getULnr / codeToUL / ULtocode.  Guarded by a mutex; readers copy nothing
// large (single lookups under the lock).
struct UserList {
    std::mutex mutex;
    std::vector<int> order;    // position - 1 -> component index
    std::vector<int> position; // component index - 1 -> position (0: not listed)
};

UserList& userList() {
    static UserList list;
    return list;
}

double pressure(double pUser) {
    const double p = u::fromUser(u::Pressure, pUser);
    if (!std::isfinite(p) || !(p > 0)) zpk::core::fail("pressure " + std::to_string(pUser) + " is not valid");
    return p;
}

double gasH(const db::Component& c, double t) {
    return zpk::thermo::idealEnthalpy(c, t, zpk::thermo::enthalpyBase()) / present(c.mw, c, "molar mass");
}
double gasS(const db::Component& c, double t, double p) {
    return zpk::thermo::idealEntropy(c, t, p, zpk::thermo::entropyBase()) / present(c.mw, c, "molar mass");
}
// Heat of vaporisation per kg, kJ/kg, at t in K (0 at and above Tc, where
// the liquid functions CompHL ... meet the gas).
double latent(const db::Component& c, double t) {
    if (!std::isnan(c.tc) && t >= c.tc) return 0.0;
    return correlation(c, c.hv, userT(t), "heat of vaporisation") / 1000.0 / present(c.mw, c, "molar mass");
}

} // namespace

extern "C" {

int getFCNr(void) {
    return zpk::guarded("getFCNr", 0, [] {
        requireLoaded();
        return db::count();
    });
}

int CompCNL(void) {
    return zpk::guarded("CompCNL", 0, [] {
        requireLoaded();
        return db::maxNameLength();
    });
}

int CompCFL(void) {
    return zpk::guarded("CompCFL", 0, [] {
        requireLoaded();
        return db::maxFormulaLength();
    });
}

char* CompN(int i) {
    return zpk::guarded("CompN", static_cast<char*>(nullptr), [&] { return text(component(i).name); });
}
char* CompN1(int i) {
    return zpk::guarded("CompN1", static_cast<char*>(nullptr), [&] { return text(component(i).name1); });
}
char* CompN2(int i) {
    return zpk::guarded("CompN2", static_cast<char*>(nullptr), [&] { return text(component(i).name2); });
}
char* CompF(int i) {
    return zpk::guarded("CompF", static_cast<char*>(nullptr), [&] { return text(component(i).formula); });
}

int CompID(int i) {
    return zpk::guarded("CompID", 0, [&] { return static_cast<int>(component(i).cas); });
}

int CompCID(int cas) {
    return zpk::guarded("CompCID", 0, [&] {
        requireLoaded();
        if (cas <= 0) zpk::core::fail("CAS number " + std::to_string(cas) + " is not valid");
        const int index = db::indexOfCas(cas);
        if (index == 0) zpk::core::fail("CAS number " + std::to_string(cas) + " is not in the database");
        return index;
    });
}

double CompMw(int i) {
    return zpk::guarded("CompMw", kNaN, [&] {
        const auto& c = component(i);
        return user(u::MolarMass, present(c.mw, c, "molar mass"));
    });
}
double CompTc(int i) {
    return zpk::guarded("CompTc", kNaN, [&] {
        const auto& c = component(i);
        return userT(present(c.tc, c, "critical temperature"));
    });
}
double CompPc(int i) {
    return zpk::guarded("CompPc", kNaN, [&] {
        const auto& c = component(i);
        return userP(present(c.pc, c, "critical pressure"));
    });
}
double CompAc(int i) {
    return zpk::guarded("CompAc", kNaN, [&] {
        const auto& c = component(i);
        return present(c.omega, c, "acentric factor");
    });
}
double CompVc(int i) {
    return zpk::guarded("CompVc", kNaN, [&] {
        const auto& c = component(i);
        return user(u::MolarVolume, present(c.vc, c, "critical volume"));
    });
}
double CompDm(int i) {
    return zpk::guarded("CompDm", kNaN, [&] {
        const auto& c = component(i);
        return user(u::DipoleMoment, present(c.dipole, c, "dipole moment"));
    });
}
double CompRg(int i) {
    return zpk::guarded("CompRg", kNaN, [&] {
        const auto& c = component(i);
        return user(u::Length, present(c.rg, c, "radius of gyration"));
    });
}
double CompSol(int i) {
    return zpk::guarded("CompSol", kNaN, [&] {
        const auto& c = component(i);
        return present(c.sol, c, "solubility parameter");
    });
}
// Formation values per kg: kJ/kmol divided by kg/kmol.
double CompHf(int i) {
    return zpk::guarded("CompHf", kNaN, [&] {
        const auto& c = component(i);
        return user(u::SpecificEnthalpy,
                    present(c.hf, c, "formation enthalpy") / present(c.mw, c, "molar mass"));
    });
}
double CompGf(int i) {
    return zpk::guarded("CompGf", kNaN, [&] {
        const auto& c = component(i);
        return user(u::SpecificEnthalpy,
                    present(c.gf, c, "formation Gibbs energy") / present(c.mw, c, "molar mass"));
    });
}
// Formation entropy from the elements per kg, (Hf - Gf) / 298.15 K / Mw:
// the entropy the formation-based entropy base gives the ideal gas at
// 298.15 K.  (The absolute standard entropy is kept in the database too.)
double CompSf(int i) {
    return zpk::guarded("CompSf", kNaN, [&] {
        const auto& c = component(i);
        return user(u::SpecificEntropy,
                    present(c.sf, c, "formation entropy") / present(c.mw, c, "molar mass"));
    });
}
double CompNb(int i) {
    return zpk::guarded("CompNb", kNaN, [&] {
        const auto& c = component(i);
        return userT(present(c.tb, c, "normal boiling point"));
    });
}
double CompMp(int i) {
    return zpk::guarded("CompMp", kNaN, [&] {
        const auto& c = component(i);
        return userT(present(c.tm, c, "melting point"));
    });
}

// ---- temperature correlations ---------------------------------------------

double CompVP(int i, double t) {
    return zpk::guarded("CompVP", kNaN, [&] {
        const auto& c = component(i);
        return userP(correlation(c, c.vp, t, "vapour pressure", Range::UpToCritical));
    });
}
// Heat of vaporisation, kJ/kg.
double CompHV(int i, double t) {
    return zpk::guarded("CompHV", kNaN, [&] {
        const auto& c = component(i);
        const double tk = temperature(t);
        requireSubcritical(c, tk, t, "heat of vaporisation");
        return user(u::SpecificEnthalpy, latent(c, tk));
    });
}
// Saturated liquid density, kg/m3.
double CompLD(int i, double t) {
    return zpk::guarded("CompLD", kNaN, [&] {
        const auto& c = component(i);
        return user(u::Density, correlation(c, c.ld, t, "liquid density", Range::UpToCritical) *
                                    present(c.mw, c, "molar mass"));
    });
}
// Solid density, kg/m3.
double CompSD(int i, double t) {
    return zpk::guarded("CompSD", kNaN, [&] {
        const auto& c = component(i);
        return user(u::Density, correlation(c, c.sd, t, "solid density") * present(c.mw, c, "molar mass"));
    });
}
// Liquid viscosity, Pa s.
double CompLV(int i, double t) {
    return zpk::guarded("CompLV", kNaN, [&] {
        const auto& c = component(i);
        return user(u::Viscosity, correlation(c, c.lvisc, t, "liquid viscosity", Range::UpToCritical));
    });
}
// Low-pressure gas viscosity, Pa s.
double CompGV(int i, double t) {
    return zpk::guarded("CompGV", kNaN, [&] {
        const auto& c = component(i);
        return user(u::Viscosity, correlation(c, c.gvisc, t, "gas viscosity"));
    });
}
// Liquid thermal conductivity, W/(m K).
double CompLC(int i, double t) {
    return zpk::guarded("CompLC", kNaN, [&] {
        const auto& c = component(i);
        return user(u::ThermalConductivity,
                    correlation(c, c.lk, t, "liquid thermal conductivity", Range::UpToCritical));
    });
}
// Low-pressure gas thermal conductivity, W/(m K).
double CompGC(int i, double t) {
    return zpk::guarded("CompGC", kNaN, [&] {
        const auto& c = component(i);
        return user(u::ThermalConductivity, correlation(c, c.gk, t, "gas thermal conductivity"));
    });
}
// Solid thermal conductivity, W/(m K), for the solids of
// data/solid_conductivity.tsv (ice); within the correlation's range.
double CompSC(int i, double t) {
    return zpk::guarded("CompSC", kNaN, [&] {
        const auto& c = component(i);
        const auto& k = zpk::transport::solidConductivity(c.cas);
        const double T = temperature(t);
        if (k.eq != 0 && (T < k.tmin || T > k.tmax))
            zpk::core::fail("solid thermal conductivity of component " + std::to_string(c.index) + " (" +
                                c.name + ") is known from " + std::to_string(k.tmin) + " K to " +
                                std::to_string(k.tmax) + " K, not at T = " + std::to_string(T) + " K",
                            zpk::kBadArgument);
        return user(u::ThermalConductivity, correlation(c, k, t, "solid thermal conductivity"));
    });
}
// Surface tension, N/m.
double CompST(int i, double t) {
    return zpk::guarded("CompST", kNaN, [&] {
        const auto& c = component(i);
        return user(u::SurfaceTension, correlation(c, c.st, t, "surface tension", Range::UpToCritical));
    });
}

// Phase enthalpies and entropies of the pure component, per kg, on the
// library's current enthalpy and entropy bases (setHB / setSB):
//   gas: the ideal gas at T (enthalpy) and at T, P (entropy);
//   liquid: the gas minus the heat of vaporisation at T (entropy: minus
//   Hvap / T), i.e. the saturated liquid reached by condensing the ideal gas;
//   above Tc the heat of vaporisation is 0 and liquid equals gas;
//   solid: the liquid less the heat of fusion.
double CompHG(int i, double t, double p) {
    return zpk::guarded("CompHG", kNaN, [&] {
        const auto& c = component(i);
        const double tk = temperature(t);
        pressure(p);
        return user(u::SpecificEnthalpy, gasH(c, tk));
    });
}
double CompSG(int i, double t, double p) {
    return zpk::guarded("CompSG", kNaN, [&] {
        const auto& c = component(i);
        return user(u::SpecificEntropy, gasS(c, temperature(t), pressure(p)));
    });
}
double CompHL(int i, double t, double p) {
    return zpk::guarded("CompHL", kNaN, [&] {
        const auto& c = component(i);
        const double tk = temperature(t);
        pressure(p);
        return user(u::SpecificEnthalpy, gasH(c, tk) - latent(c, tk));
    });
}
double CompSL(int i, double t, double p) {
    return zpk::guarded("CompSL", kNaN, [&] {
        const auto& c = component(i);
        const double tk = temperature(t);
        return user(u::SpecificEntropy, gasS(c, tk, pressure(p)) - latent(c, tk) / tk);
    });
}
// Solid: the liquid less the heat of fusion (taken as independent of T);
// entropy less Hfus / Tm.
double CompHS(int i, double t, double p) {
    return zpk::guarded("CompHS", kNaN, [&] {
        const auto& c = component(i);
        const double tk = temperature(t);
        pressure(p);
        const double fus = present(c.hfus, c, "heat of fusion") / present(c.mw, c, "molar mass");
        return user(u::SpecificEnthalpy, gasH(c, tk) - latent(c, tk) - fus);
    });
}
double CompSS(int i, double t, double p) {
    return zpk::guarded("CompSS", kNaN, [&] {
        const auto& c = component(i);
        const double tk = temperature(t);
        const double fus = present(c.hfus, c, "heat of fusion") / present(c.mw, c, "molar mass");
        return user(u::SpecificEntropy,
                    gasS(c, tk, pressure(p)) - latent(c, tk) / tk - fus / present(c.tm, c, "melting point"));
    });
}

// ---- user list -------------------------------------------------------------

// sortUL(mode): builds the user list of all components ordered by name
// (mode 0: primary name; mode 1: formula, then name; mode 2: CAS number).
// Ties keep index order.  Returns the number of entries.
int sortUL(int mode) {
    return zpk::guarded("sortUL", 0, [&] {
        requireLoaded();
        if (mode < 0 || mode > 2) zpk::core::fail("mode " + std::to_string(mode) + " is not 0, 1 or 2");
        const int n = db::count();
        std::vector<int> order(static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k)
            order[static_cast<std::size_t>(k)] = k + 1;
        auto less = [mode](int a, int b) {
            const auto& x = *db::byIndex(a);
            const auto& y = *db::byIndex(b);
            if (mode == 1 && x.formula != y.formula) return x.formula < y.formula;
            if (mode == 2) return x.cas < y.cas;
            return x.name < y.name;
        };
        std::stable_sort(order.begin(), order.end(), less);
        std::vector<int> position(static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k)
            position[static_cast<std::size_t>(order[static_cast<std::size_t>(k)] - 1)] = k + 1;
        auto& list = userList();
        std::lock_guard<std::mutex> lock(list.mutex);
        list.order = std::move(order);
        list.position = std::move(position);
        return n;
    });
}

// Length of the user list (0 until sortUL has been called).
int getULnr(void) {
    return zpk::guarded("getULnr", 0, [] {
        auto& list = userList();
        std::lock_guard<std::mutex> lock(list.mutex);
        return static_cast<int>(list.order.size());
    });
}

// Position (1-based) of component index in the user list.
int codeToUL(int index) {
    return zpk::guarded("codeToUL", 0, [&] {
        auto& list = userList();
        std::lock_guard<std::mutex> lock(list.mutex);
        if (list.order.empty())
            zpk::core::fail("the user list is empty (call sortUL first)", zpk::kNotDefined);
        if (index < 1 || index > static_cast<int>(list.position.size()))
            zpk::core::fail("no component with index " + std::to_string(index));
        return list.position[static_cast<std::size_t>(index - 1)];
    });
}

// Component index at a 1-based position of the user list.
int ULtocode(int position) {
    return zpk::guarded("ULtocode", 0, [&] {
        auto& list = userList();
        std::lock_guard<std::mutex> lock(list.mutex);
        if (list.order.empty())
            zpk::core::fail("the user list is empty (call sortUL first)", zpk::kNotDefined);
        if (position < 1 || position > static_cast<int>(list.order.size()))
            zpk::core::fail("position " + std::to_string(position) + " is outside 1.." +
                            std::to_string(list.order.size()));
        return list.order[static_cast<std::size_t>(position - 1)];
    });
}

} // extern "C"
