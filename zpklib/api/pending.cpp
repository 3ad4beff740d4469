// Functions of the C interface that are not provided yet.  Each one sets the
// calling thread's error state to "<Name>: not implemented" and returns its
// failure value, e.g.
//   double StrXY(int) { return zpk::api::notImplemented<double>("StrXY", zpk::kNaN); }
// (see api/not_implemented.h).  Every function of the interface is provided
// at present, so the list below is empty.
#include "api/not_implemented.h"
#include "zpk/zpk.h"

extern "C" {} // extern "C"
