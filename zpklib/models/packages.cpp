#include "models/packages.h"

#include <array>
#include <mutex>

#include "core/error.h"
#include "models/catalogue.h"

namespace zpk::models {

namespace {

using core::fail;

struct Package {
    std::string name;
    std::array<std::array<int, streams::kPhaseKinds>, streams::kProperties> models{};
    int options = 0;
    int bipLevel = -1;
};

// Fluid phases: liquid fugacity model, other liquid properties and vapour;
// solid phase model 1 (as the battery's model sets), no hydrate model.
Package fluidSet(const char* name, int liquidFugacity, int fluid, int solid = 1, int hydrate = 0, int options = 0,
                 int bipLevel = -1) {
    Package p;
    p.name = name;
    for (int prop = 0; prop < streams::kProperties; ++prop) {
        p.models[prop][0] = fluid;
        p.models[prop][1] = prop == 0 ? liquidFugacity : fluid;
        p.models[prop][2] = solid;
        p.models[prop][3] = hydrate;
    }
    p.options = options;
    p.bipLevel = bipLevel;
    return p;
}

struct Table {
    std::mutex mutex;
    std::array<Package, kPackages + 1> packages;  // index 0 unused
    int predefined = 0;

    Table() {
        const Package predefinedSets[] = {
            fluidSet("Regular", 1, 1),
            fluidSet("Wilson PRX", 10, 51),
            fluidSet("NRTL PRX", 11, 51),
            fluidSet("UNIQUAC PRX", 12, 51),
            fluidSet("UNIFAC PRX", 130, 51),
            fluidSet("SRK", 30, 30),
            fluidSet("PR", 50, 50),
            fluidSet("PRX", 51, 51),
            fluidSet("BWRS", 81, 81),
            fluidSet("LKP", 91, 91),
            fluidSet("IAPWS-95", 300, 300),
            fluidSet("GERG-2008", 315, 315),
            fluidSet("CPA PR hydrates", 111, 111, 151, 170, 4, 3),
        };
        for (const Package& p : predefinedSets) packages[++predefined] = p;
        for (int k = predefined + 1; k <= kPackages; ++k) {
            packages[k] = fluidSet("", 1, 1);
            packages[k].name = "User " + std::to_string(k - predefined);
        }
    }
};

Table& table() {
    static Table* t = new Table;
    return *t;
}

void checkPackage(int package) {
    if (package < 1 || package > kPackages)
        fail("package " + std::to_string(package) + " is outside 1.." + std::to_string(kPackages));
}

void checkWritable(const Table& t, int package) {
    checkPackage(package);
    if (package <= t.predefined)
        fail("package " + std::to_string(package) + " is predefined and cannot be changed");
}

void checkPair(int property, int phase) {
    if (property < 1 || property > streams::kProperties)
        fail("property " + std::to_string(property) + " is outside 1..4");
    if (phase < 0 || phase >= streams::kPhaseKinds) fail("phase " + std::to_string(phase) + " is outside 0..3");
}

}  // namespace

int predefinedPackages() {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    return t.predefined;
}

std::string packageName(int package) {
    checkPackage(package);
    Table& t = table();
    std::lock_guard lock(t.mutex);
    return t.packages[package].name;
}

void setPackageName(int package, const std::string& name) {
    if (name.empty() || name.size() > 64) fail("package name must have 1..64 characters");
    Table& t = table();
    std::lock_guard lock(t.mutex);
    checkWritable(t, package);
    t.packages[package].name = name;
}

int packageModel(int package, int property, int phase) {
    checkPackage(package);
    checkPair(property, phase);
    Table& t = table();
    std::lock_guard lock(t.mutex);
    return t.packages[package].models[property - 1][phase];
}

void setPackageModel(int package, int property, int phase, int model) {
    checkPair(property, phase);
    if (model != 0 && !serves(model, property, phase))
        fail("model " + std::to_string(model) + " does not serve property " + std::to_string(property) +
             " in phase " + std::to_string(phase));
    Table& t = table();
    std::lock_guard lock(t.mutex);
    checkWritable(t, package);
    t.packages[package].models[property - 1][phase] = model;
}

int packageSetting(int package, int index) {
    checkPackage(package);
    Table& t = table();
    std::lock_guard lock(t.mutex);
    switch (index) {
    case 1: return t.packages[package].options;
    case 2: return t.packages[package].bipLevel;
    default: fail("setting " + std::to_string(index) + " is outside 1.." + std::to_string(kPackageSettings));
    }
}

void setPackageSetting(int package, int index, int value) {
    if (index == 1 && value < 0) fail("option mask " + std::to_string(value) + " is negative");
    if (index == 2 && (value < -1 || value > streams::kMaxBipLoadLevel))
        fail("loadSB level " + std::to_string(value) + " is outside -1.." + std::to_string(streams::kMaxBipLoadLevel));
    if (index != 1 && index != 2)
        fail("setting " + std::to_string(index) + " is outside 1.." + std::to_string(kPackageSettings));
    Table& t = table();
    std::lock_guard lock(t.mutex);
    checkWritable(t, package);
    (index == 1 ? t.packages[package].options : t.packages[package].bipLevel) = value;
}

void applyPackage(int package, streams::Stream& s) {
    checkPackage(package);
    Package p;
    {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        p = t.packages[package];
    }
    for (int prop = 0; prop < streams::kProperties; ++prop)
        for (int ph = 0; ph < streams::kPhaseKinds; ++ph)
            if (p.models[prop][ph] != 0) s.def.models[prop][ph] = p.models[prop][ph];
    s.def.options = p.options;
    if (p.bipLevel >= 0) s.def.bipLoadLevel = p.bipLevel;
    s.touchDefinition();
}

}  // namespace zpk::models
