// C interface: the model catalogue and the thermo packages.
#include <cstring>

#include "core/error.h"
#include "core/thread_context.h"
#include "models/catalogue.h"
#include "models/packages.h"
#include "streams/store.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

const models::ModelInfo& model(int code) {
    const models::ModelInfo* m = models::find(code);
    if (m == nullptr) core::fail("model " + std::to_string(code) + " is unknown");
    return *m;
}

void checkParameterSet(int set) {
    if (set != 1 && set != 2) core::fail("parameter set " + std::to_string(set) + " is not 1 or 2");
}

}  // namespace

extern "C" {

int getMDnr(void) { return static_cast<int>(models::all().size()); }

int getMDC(int index) {
    return guarded("getMDC", 0, [&] {
        const auto all = models::all();
        if (index < 1 || index > static_cast<int>(all.size()))
            core::fail("index " + std::to_string(index) + " is outside 1.." + std::to_string(all.size()));
        return all[index - 1].code;
    });
}

char* getMDN(int code) {
    return guarded("getMDN", static_cast<char*>(nullptr), [&] {
        static thread_local std::string buf;
        return core::keepText(buf, model(code).name);
    });
}

int getMDP(int code, int property, int phase) {
    return guarded("getMDP", 0, [&] {
        model(code);
        if (property < 1 || property > 4) core::fail("property " + std::to_string(property) + " is outside 1..4");
        if (phase < 0 || phase > 3) core::fail("phase " + std::to_string(phase) + " is outside 0..3");
        return models::serves(code, property, phase) ? 1 : 0;
    });
}

int getMDR(int code) {
    return guarded("getMDR", 0, [&] { return static_cast<int>(model(code).family); });
}

int getMDBnr(int code, int set) {
    return guarded("getMDBnr", 0, [&] {
        checkParameterSet(set);
        return model(code).binaryParameterCount();
    });
}

char* getMDBN(int code, int set, int k) {
    return guarded("getMDBN", static_cast<char*>(nullptr), [&] {
        checkParameterSet(set);
        const models::ModelInfo& m = model(code);
        if (k < 0 || k >= m.binaryParameterCount())
            core::fail("parameter " + std::to_string(k) + " is outside 0.." +
                       std::to_string(m.binaryParameterCount() - 1));
        static thread_local std::string buf;
        return core::keepText(buf, m.binaryParameters[k]);
    });
}

int getMDRnr(int code) {
    return guarded("getMDRnr", 0, [&] { return model(code).binaryParameterCount(); });
}

int getMDInr(int code) {
    return guarded("getMDInr", 0, [&] { return model(code).pureParameters; });
}

int getPKnr(void) { return models::kPackages; }

int getPKdnr(void) {
    return guarded("getPKdnr", 0, [] { return models::predefinedPackages(); });
}

char* getPKN(int package) {
    return guarded("getPKN", static_cast<char*>(nullptr), [&] {
        static thread_local std::string buf;
        return core::keepText(buf, models::packageName(package));
    });
}

int putPKN(int package, const char* name) {
    return guarded("putPKN", 0, [&] {
        if (name == nullptr) core::fail("name is a null pointer");
        models::setPackageName(package, name);
        return 1;
    });
}

int getPKM(int package, int property, int phase) {
    return guarded("getPKM", 0, [&] { return models::packageModel(package, property, phase); });
}

int putPKM(int package, int property, int phase, int model) {
    return guarded("putPKM", 0, [&] {
        models::setPackageModel(package, property, phase, model);
        return 1;
    });
}

int getPKS(int package, int index) {
    return guarded("getPKS", 0, [&] { return models::packageSetting(package, index); });
}

int putPKS(int package, int index, int value) {
    return guarded("putPKS", 0, [&] {
        models::setPackageSetting(package, index, value);
        return 1;
    });
}

int setPK(int stream, int package) {
    return guarded("setPK", 0, [&] {
        streams::withStream(stream, [&](streams::Stream& s) { models::applyPackage(package, s); });
        return 1;
    });
}

}  // extern "C"
