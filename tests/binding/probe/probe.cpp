#include "probe.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#define PROBE_API extern "C" __attribute__((visibility("default")))

namespace probe {
namespace {

struct Call {
    std::string name;
    std::vector<Arg> args;
};

struct Program {
    double value = 0.0;
    bool nullText = false;
    std::string text;
    double delay = 0.0;
    bool gated = false; // wait at the gate until it opens (or a safety timeout)
};

struct State {
    std::mutex mutex;
    bool logging = true;
    std::vector<Call> log;
    std::map<std::string, Program> programs;
    // Returned texts stay valid until the next reset.
    std::vector<std::unique_ptr<std::string>> texts;
    // The gate: gated calls wait here; inFlight counts them, peak remembers the most at once.
    std::condition_variable gate;
    bool gateOpen = false;
    int inFlight = 0;
    int peak = 0;
    // The binding-only entries (zpk/zpk_binding.h): the programmed size of
    // every slot's stream, and the last failure the binding reported.
    int slotPositions = -1;
    int bindingCode = 0;
    std::string bindingMessage;
};

State& state() {
    static State s;
    return s;
}

const Call* last(State& s, const char* name) {
    for (auto it = s.log.rbegin(); it != s.log.rend(); ++it)
        if (it->name == name) return &*it;
    return nullptr;
}

} // namespace

Recorder& Recorder::i(int v) {
    args_.push_back(Arg{'i', static_cast<double>(v), false, {}, nullptr});
    return *this;
}

Recorder& Recorder::d(double v) {
    args_.push_back(Arg{'d', v, false, {}, nullptr});
    return *this;
}

Recorder& Recorder::t(const char* v) {
    args_.push_back(Arg{'t', 0.0, v == nullptr, v ? std::string(v) : std::string(), v});
    return *this;
}

Recorder& Recorder::p(const void* v) {
    args_.push_back(Arg{'p', 0.0, v == nullptr, {}, v});
    return *this;
}

double Recorder::finish() {
    State& s = state();
    Program program;
    {
        std::lock_guard lock(s.mutex);
        if (s.logging) s.log.push_back(Call{name_, std::move(args_)});
        auto it = s.programs.find(name_);
        if (it != s.programs.end()) program = it->second;
    }
    if (program.delay > 0) std::this_thread::sleep_for(std::chrono::duration<double>(program.delay));
    if (program.gated) {
        std::unique_lock lock(s.mutex);
        s.peak = std::max(s.peak, ++s.inFlight);
        s.gate.wait_for(lock, std::chrono::seconds(20), [&] { return s.gateOpen; });
        --s.inFlight;
    }
    return program.value;
}

int Recorder::asInt() {
    return static_cast<int>(finish());
}

double Recorder::asDouble() {
    return finish();
}

char* Recorder::asText() {
    finish();
    State& s = state();
    std::lock_guard lock(s.mutex);
    Program& p = s.programs[name_];
    if (p.nullText) return nullptr;
    s.texts.push_back(std::make_unique<std::string>(p.text));
    return s.texts.back()->data();
}

} // namespace probe

using probe::state;

PROBE_API void probe_reset(void) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.logging = true;
    s.log.clear();
    s.programs.clear();
    s.texts.clear();
    s.gateOpen = true;
    s.gate.notify_all();
    s.peak = 0;
    s.slotPositions = -1;
    s.bindingCode = 0;
    s.bindingMessage.clear();
}

PROBE_API void probe_set_logging(int on) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.logging = on != 0;
}

PROBE_API void probe_set_value(const char* name, double value) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.programs[name].value = value;
}

PROBE_API void probe_set_text(const char* name, const char* bytes, int length) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto& p = s.programs[name];
    p.nullText = bytes == nullptr;
    p.text = bytes ? std::string(bytes, static_cast<std::size_t>(length)) : std::string();
}

PROBE_API void probe_set_delay(const char* name, double seconds) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.programs[name].delay = seconds;
}

// Make calls of `name` wait at the gate (closing it), or stop doing so.
PROBE_API void probe_set_gate(const char* name, int on) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.programs[name].gated = on != 0;
    if (on) s.gateOpen = false;
}

PROBE_API void probe_open_gate(void) {
    auto& s = state();
    {
        std::lock_guard lock(s.mutex);
        s.gateOpen = true;
    }
    s.gate.notify_all();
}

// Calls waiting at the gate now, and the most that ever waited at once.
PROBE_API int probe_in_flight(void) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.inFlight;
}

PROBE_API int probe_peak(void) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.peak;
}

PROBE_API int probe_count(const char* name) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    int n = 0;
    for (const auto& c : s.log)
        if (!name || c.name == name) ++n;
    return n;
}

// Number of arguments of the last call of `name`, or -1 when it was not called.
PROBE_API int probe_arg_count(const char* name) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const auto* c = probe::last(s, name);
    return c ? static_cast<int>(c->args.size()) : -1;
}

// Argument i of the last call of `name`: returns its kind ('i', 'd', 't', 'p')
// or 0; fills the value, the null flag, the address and up to `capacity` text
// bytes (`*length` receives the full text length).
PROBE_API int probe_arg(const char* name, int i, double* num, int* isNull, const void** ptr, char* buffer,
                        int capacity, int* length) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const auto* c = probe::last(s, name);
    if (!c || i < 0 || i >= static_cast<int>(c->args.size())) return 0;
    const probe::Arg& a = c->args[static_cast<std::size_t>(i)];
    *num = a.num;
    *isNull = a.null ? 1 : 0;
    *ptr = a.ptr;
    *length = static_cast<int>(a.bytes.size());
    if (buffer && capacity > 0)
        std::memcpy(buffer, a.bytes.data(),
                    std::min<std::size_t>(a.bytes.size(), static_cast<std::size_t>(capacity)));
    return a.kind;
}

// The binding-only entries.  They are not recorded in the call log: the
// tests count library calls, and these are the binding's own look-ups.
PROBE_API int zpkBindingSlotPositions(int) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.slotPositions;
}

PROBE_API int zpkBindingSetError(int code, const char* message) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const int previous = s.bindingCode;
    s.bindingCode = code;
    s.bindingMessage = message ? message : "";
    return previous;
}

// Stream size that zpkBindingSlotPositions reports for every slot (-1: unknown).
PROBE_API void probe_set_slot_positions(int n) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.slotPositions = n;
}

// The last failure reported through zpkBindingSetError: its code (0: none)
// and up to `capacity` bytes of its message, NUL-terminated.
PROBE_API int probe_binding_error(char* buffer, int capacity) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (buffer && capacity > 0) {
        const std::size_t n =
            std::min<std::size_t>(s.bindingMessage.size(), static_cast<std::size_t>(capacity - 1));
        std::memcpy(buffer, s.bindingMessage.data(), n);
        buffer[n] = '\0';
    }
    return s.bindingCode;
}
