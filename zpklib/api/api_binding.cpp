// Entries for the _zelta Python module only (zpk/zpk_binding.h): report a
// call that the binding refused, and the size of the stream behind a
// derivative slot, which the binding needs to check the caller's arrays.
#include <string>

#include "core/error.h"
#include "core/thread_context.h"
#include "streams/store.h"
#include "zpk/zpk_binding.h"

using namespace zpk;

extern "C" {

int zpkBindingSetError(int code, const char* message) {
    const int previous = core::errorFlag();
    core::setError(code, message ? message : "");
    return previous;
}

// Not run in zpk::guarded: a failed look-up must leave the caller's error
// state alone (the binding then lets the library report the call itself).
int zpkBindingSlotPositions(int slot) {
    try {
        const int stream = core::derivativeSlotStream(slot);
        if (stream == 0) return -1;
        return streams::withStream(stream,
                                   [](streams::Stream& s) { return s.def.defined ? s.def.positions() : -1; });
    } catch (...) {
        return -1;
    }
}

} // extern "C"
