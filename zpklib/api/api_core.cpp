// C interface: error state, per-thread slots, configuration read-outs and
// capacities.
#include "archive/archive.h"
#include "components/database.h"
#include "core/config.h"
#include "core/error.h"
#include "core/thread_context.h"
#include "models/catalogue.h"
#include "streams/store.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;

extern "C" {

int setErrFlag(int value) { return core::setErrorFlag(value); }

int getErrFlag(void) { return core::errorFlag(); }

char* ErrMsg(void) {
    return guarded("ErrMsg", static_cast<char*>(nullptr), [] {
        static thread_local std::string buf;
        return core::keepText(buf, core::errorMessage());
    });
}

int defErrMsg(int mode) {
    return guarded("defErrMsg", 0, [&] {
        if (mode != 0 && mode != 1) core::fail("mode " + std::to_string(mode) + " is not 0 or 1");
        core::setErrorFlag(0);
        core::setErrorMode(mode);
        return 1;
    });
}

int getPNr(void) { return core::lastPhaseCount(); }

int DPinit(int slot, int stream) {
    return guarded("DPinit", 0, [&] {
        streams::checkNumber(stream);
        core::bindDerivativeSlot(slot, stream);
        return 1;
    });
}

int CFGInt(int item) {
    return guarded("CFGInt", 0, [&] {
        switch (item) {
        case 1: return streams::kCapacity;
        case 2: return streams::kBlockSize;
        case 3: return streams::kFirstThreadBase;
        case 4: return streams::kThreadBlocks;
        case 5: return streams::blocksInUse();
        case 6: return streams::kMaxPositions;
        case 7: return streams::kMaxBipEntries;
        case 8: return streams::kBipParameters;
        case 9: return core::kDerivativeSlots;
        case 10: return components::count();
        case 11: return static_cast<int>(models::all().size());
        case 12: return config::kVersionMajor;
        case 13: return config::kVersionMinor;
        case 14: return config::kVersionPatch;
        case 15: return archive::kFormatVersion;
        case 16: return units::kMaxUserUnits;
        case 17: return config::kMaxPhases;
        default: core::fail("item " + std::to_string(item) + " is outside 1..17");
        }
    });
}

double CFGReal(int item) {
    return guarded("CFGReal", kNaN, [&] {
        switch (item) {
        case 1: return config::kGasConstant;
        case 2: return config::kReferenceTemperature;
        case 3: return config::kReferencePressure;
        default: core::fail("item " + std::to_string(item) + " is outside 1..3");
        }
    });
}

int getMSNr(void) { return streams::kCapacity; }

int getASNr(void) {
    return guarded("getASNr", -1, [] { return streams::threadBase(); });
}

int getMCNr(void) { return streams::kMaxPositions; }

int getMBPNr(void) { return streams::kMaxBipEntries; }

int getFPNr(void) { return config::kMaxPhases; }

int getMFCNr(void) {
    return guarded("getMFCNr", 0, [] { return components::count(); });
}

}  // extern "C"
