// Functions of the C interface that are not provided yet.  Each one sets the
// calling thread's error state to "<Name>: not implemented" and returns its
// failure value (see api/not_implemented.h).  Implementations replace these
// lines one by one.
#include "api/not_implemented.h"
#include "zpk/zpk.h"

using zpk::kNaN;
using zpk::api::notImplemented;

extern "C" {

int putPt(int, int, int) {
    return notImplemented<int>("putPt", 0);
}
int putPf(int, int, double) {
    return notImplemented<int>("putPf", 0);
}
int isValidPhase(int, int) {
    return notImplemented<int>("isValidPhase", 0);
}
int setValidPhase(int, int) {
    return notImplemented<int>("setValidPhase", 0);
}
int putW(int, int, int, double) {
    return notImplemented<int>("putW", 0);
}

} // extern "C"
