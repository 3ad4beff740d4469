// The distillation column function, not provided yet.
#include "api/not_implemented.h"
#include "zpk/zpk.h"

using zpk::kNaN;
using zpk::api::notImplemented;

extern "C" {

int DCOL(int, int, int, double*, double*, double*, double*, int, int, int, int*, int*, int, int*, int*, int*,
         double*, int, double*, int*, int*, int*, double*, double*) {
    return notImplemented<int>("DCOL", 0);
}

} // extern "C"
