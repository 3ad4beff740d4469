// Every function of the C interface that is not provided yet.  Each one
// sets the calling thread's error state to "<Name>: not implemented" (code
// kNotImplemented) and returns its failure value: 0 for int results, NaN for
// double results, a null pointer for text results.  Implementations replace
// these lines one by one.
#include "core/error.h"
#include "zpk/zpk.h"

namespace {
template <class R>
R notImplemented(const char* name, R failValue) {
    return zpk::guarded(name, failValue, [&]() -> R { throw zpk::Error("not implemented", zpk::kNotImplemented); });
}
using zpk::kNaN;
}  // namespace

extern "C" {

double StrSH(int) { return notImplemented<double>("StrSH", kNaN); }
double StrSSH(int) { return notImplemented<double>("StrSSH", kNaN); }
double StrSCp(int) { return notImplemented<double>("StrSCp", kNaN); }
double EStrSCp(int, double, double) { return notImplemented<double>("EStrSCp", kNaN); }
double StrSS(int) { return notImplemented<double>("StrSS", kNaN); }
double StrSSS(int) { return notImplemented<double>("StrSSS", kNaN); }
double StrFML(int) { return notImplemented<double>("StrFML", kNaN); }
double EStrFML(int, double, double) { return notImplemented<double>("EStrFML", kNaN); }
double StrFMH(int) { return notImplemented<double>("StrFMH", kNaN); }
double EStrFMH(int, double, double) { return notImplemented<double>("EStrFMH", kNaN); }
double StrRVP(int, int) { return notImplemented<double>("StrRVP", kNaN); }
double StrFLP(int) { return notImplemented<double>("StrFLP", kNaN); }
double StrHC(int) { return notImplemented<double>("StrHC", kNaN); }
double EStrHC(int, double, double) { return notImplemented<double>("EStrHC", kNaN); }
double StrSD(int) { return notImplemented<double>("StrSD", kNaN); }
double EStrSD(int, double, double) { return notImplemented<double>("EStrSD", kNaN); }
int putPt(int, int, int) { return notImplemented<int>("putPt", 0); }
int putPf(int, int, double) { return notImplemented<int>("putPf", 0); }
int isValidPhase(int, int) { return notImplemented<int>("isValidPhase", 0); }
int setValidPhase(int, int) { return notImplemented<int>("setValidPhase", 0); }
int putW(int, int, int, double) { return notImplemented<int>("putW", 0); }
double HPFORM(int, double, int) { return notImplemented<double>("HPFORM", kNaN); }
double HTFORM(int, double, int) { return notImplemented<double>("HTFORM", kNaN); }
int DCOL(int, int, int, double*, double*, double*, double*, int, int, int, int*, int*, int, int*, int*, int*, double*, int, double*, int*, int*, int*, double*, double*) { return notImplemented<int>("DCOL", 0); }

}  // extern "C"
