#include "core/thread_context.h"

#include <array>

#include "core/error.h"

namespace zpk::core {

namespace {
struct ThreadContext {
    int lastPhases = 0;
    std::array<int, kDerivativeSlots + 1> slots{};  // index 0 unused
};
ThreadContext& context() noexcept {
    thread_local ThreadContext c;
    return c;
}
}  // namespace

int lastPhaseCount() noexcept { return context().lastPhases; }
void setLastPhaseCount(int n) noexcept { context().lastPhases = n; }

void bindDerivativeSlot(int slot, int stream) {
    if (slot < 1 || slot > kDerivativeSlots)
        fail("slot " + std::to_string(slot) + " is outside 1.." + std::to_string(kDerivativeSlots));
    context().slots[slot] = stream;
}

int derivativeSlotStream(int slot) noexcept {
    if (slot < 1 || slot > kDerivativeSlots) return 0;
    return context().slots[slot];
}

char* keepText(std::string& buffer, std::string_view text) {
    buffer.assign(text);
    return buffer.data();
}

}  // namespace zpk::core
