// The hydrate formation functions, not provided yet.
#include "api/not_implemented.h"
#include "zpk/zpk.h"

using zpk::kNaN;
using zpk::api::notImplemented;

extern "C" {

double HPFORM(int, double, int) {
    return notImplemented<double>("HPFORM", kNaN);
}
double HTFORM(int, double, int) {
    return notImplemented<double>("HTFORM", kNaN);
}

} // extern "C"
