// Per-thread context of the library besides the error state: the number of
// phases found by the calling thread's last flash (getPNr), the derivative
// slots bound with DPinit, and the buffers that hold texts returned to the
// caller.
#pragma once

#include <string>
#include <string_view>

namespace zpk::core {

// Derivative slots are numbered 1..kDerivativeSlots.
inline constexpr int kDerivativeSlots = 20;

// Phase count of the calling thread's last flash; 0 before any flash.
int lastPhaseCount() noexcept;
void setLastPhaseCount(int n) noexcept;

// Bind slot (1..kDerivativeSlots) to a stream number; throws zpk::Error on a bad slot.
void bindDerivativeSlot(int slot, int stream);
// Stream bound to slot for the calling thread, or 0 when unbound / slot out of range.
int derivativeSlotStream(int slot) noexcept;

// Copy text into the calling thread's buffer for the given function and
// return a pointer that stays valid until the same thread passes the same
// buffer again.  Each exported function that returns text owns one buffer:
//     static thread_local std::string buf;  return core::keepText(buf, value);
char* keepText(std::string& buffer, std::string_view text);

}  // namespace zpk::core
