// Flash point, vapour pressure by the Reid method and heating value, not provided yet.
#include "api/not_implemented.h"
#include "zpk/zpk.h"

using zpk::kNaN;
using zpk::api::notImplemented;

extern "C" {

double StrRVP(int, int) {
    return notImplemented<double>("StrRVP", kNaN);
}
double StrFLP(int) {
    return notImplemented<double>("StrFLP", kNaN);
}
double StrHC(int) {
    return notImplemented<double>("StrHC", kNaN);
}
double EStrHC(int, double, double) {
    return notImplemented<double>("EStrHC", kNaN);
}

} // extern "C"
