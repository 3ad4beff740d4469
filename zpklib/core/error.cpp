#include "core/error.h"

#include <cstdio>

namespace zpk::core {

namespace {
struct ThreadErrorState {
    int flag = kNoError;
    int mode = 0;
    std::string message;
    bool pending = false; // an extrapolation noted during the current call
    std::string note;
};
ThreadErrorState& state() noexcept {
    thread_local ThreadErrorState s;
    return s;
}
} // namespace

void setError(int code, std::string_view message) noexcept {
    ThreadErrorState& s = state();
    s.flag = code == kNoError ? kInternal : code;
    try {
        s.message.assign(message);
    } catch (...) {
        s.message.clear(); // keep the flag even if the text cannot be stored
    }
    if (s.mode == 1) std::fprintf(stderr, "zpk: %s\n", s.message.c_str());
}

int errorFlag() noexcept {
    return state().flag;
}
const std::string& errorMessage() noexcept {
    return state().message;
}

int setErrorFlag(int value) noexcept {
    ThreadErrorState& s = state();
    int previous = s.flag;
    s.flag = value;
    if (value == kNoError) s.message.clear();
    return previous;
}

void noteExtrapolation(std::string_view message) noexcept {
    ThreadErrorState& s = state();
    if (s.pending) return;
    try {
        s.note.assign(message);
    } catch (...) {
        s.note.clear();
    }
    s.pending = true;
}

void commitExtrapolation(const char* fn) noexcept {
    ThreadErrorState& s = state();
    if (!s.pending) return;
    s.pending = false;
    if (s.flag != kNoError && s.flag != kExtrapolated) return; // a failure stays the report
    s.flag = kExtrapolated;
    try {
        s.message.assign(fn);
        s.message += ": ";
        s.message += s.note;
    } catch (...) {
        s.message.clear();
    }
    if (s.mode == 1) std::fprintf(stderr, "zpk: %s\n", s.message.c_str());
}

void dropExtrapolation() noexcept {
    state().pending = false;
}

int errorMode() noexcept {
    return state().mode;
}
void setErrorMode(int mode) noexcept {
    state().mode = mode;
}

void fail(std::string message, int code) {
    throw Error(std::move(message), code);
}

double requireFinite(const char* what, double v) {
    if (!std::isfinite(v)) fail(std::string(what) + " is not a finite number");
    return v;
}

} // namespace zpk::core
