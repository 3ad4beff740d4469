// C interface: units of measure (quantity codes 15..54).
#include <cstring>

#include "core/error.h"
#include "core/thread_context.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {
// Unit argument of UMCR/UMCS/getUMS: 0 means the currently selected unit.
int resolveUnit(int code, int unit) { return unit == 0 ? units::current(code) : unit; }
}  // namespace

extern "C" {

int getUMC(int code) {
    return guarded("getUMC", 0, [&] { return units::current(code); });
}

int setUMC(int code, int unit) {
    return guarded("setUMC", 0, [&] {
        units::select(code, unit);
        return 1;
    });
}

int getUMN(int code) {
    return guarded("getUMN", 0, [&] { return units::unitCount(code); });
}

double UMCR(double value, int code, int unit) {
    return guarded("UMCR", kNaN, [&] {
        core::requireFinite("value", value);
        return units::toBase(code, resolveUnit(code, unit), value);
    });
}

double UMCS(double value, int code, int unit) {
    return guarded("UMCS", kNaN, [&] {
        core::requireFinite("value", value);
        return units::fromBase(code, resolveUnit(code, unit), value);
    });
}

int UMAU(double factor, double offset, const char* name, int code) {
    return guarded("UMAU", 0, [&] {
        if (name == nullptr) core::fail("name is a null pointer");
        return units::addUnit(code, factor, offset, std::string_view(name, std::strlen(name)));
    });
}

int UMRAU(int code) {
    return guarded("UMRAU", 0, [&] {
        units::removeAddedUnits(code);
        return 1;
    });
}

char* getUMS(int code, int unit) {
    return guarded("getUMS", static_cast<char*>(nullptr), [&] {
        static thread_local std::string buf;
        return core::keepText(buf, units::unitName(code, resolveUnit(code, unit)));
    });
}

char* getSUMS(int code) {
    return guarded("getSUMS", static_cast<char*>(nullptr), [&] {
        static thread_local std::string buf;
        return core::keepText(buf, units::unitName(code, units::current(code)));
    });
}

double getPatm(void) {
    return guarded("getPatm", kNaN, [] { return units::toUser(units::Pressure, 101325.0); });
}

}  // extern "C"
