/* Entries of libzpk used only by the _zelta Python module.
 *
 * They are not part of the library's interface (not in zpk.h, not in
 * zpk/functions.tsv, not installed) and may change with the binding.  They
 * exist because _zelta checks the caller's arrays before a call and must
 * report a refused call through the calling thread's error state, exactly as
 * the library reports its own failures.
 */
#ifndef ZPK_ZPK_BINDING_H
#define ZPK_ZPK_BINDING_H

#include "zpk/zpk.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Record a failure for the calling thread: flag `code` (a zpk::ErrorCode,
 * 0 counts as an internal error) and `message` (null: empty), as the
 * library's own failing calls do.  Returns the previous flag. */
ZPK_API int zpkBindingSetError(int code, const char* message);

/* Number of component positions of the defined stream bound to derivative
 * slot `slot` of the calling thread (DPinit), or -1 when the slot is out of
 * range, unbound or its stream is not defined.  Never touches the error
 * state. */
ZPK_API int zpkBindingSlotPositions(int slot);

#ifdef __cplusplus
}
#endif

#endif
