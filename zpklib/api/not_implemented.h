// Failure path of the C functions that are not provided yet: sets the
// calling thread's error state to "<Name>: not implemented" (code
// kNotImplemented) and returns the failure value (0 for int results, NaN for
// double results).
#pragma once

#include "core/error.h"

namespace zpk::api {

template <class R> R notImplemented(const char* name, R failValue) {
    return zpk::guarded(name, failValue,
                        [&]() -> R { throw zpk::Error("not implemented", zpk::kNotImplemented); });
}

} // namespace zpk::api
