// Per-thread error state of the library and the guard that every exported
// function runs its body in.
//
// Every calling thread has its own error flag and message.  A failing call
// sets both; a successful call leaves them as they are (the flag is sticky),
// so a caller can make a series of calls and test getErrFlag() once.  The
// state is cleared with setErrFlag(0) or defErrMsg().
#pragma once

#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zpk {

// Error codes stored in the per-thread flag (getErrFlag).
enum ErrorCode : int {
    kNoError = 0,
    kBadArgument = 1,    // an argument is out of range or not a number
    kNotDefined = 2,     // the stream (or slot) is not in the state the call needs
    kCalculation = 3,    // a calculation did not converge or has no solution
    kNotImplemented = 4, // the function exists but is not provided yet
    kFileError = 5,      // an archive could not be read or written
    kInternal = 6,       // unexpected failure (out of memory, internal exception)
    // Not a failure: the call returned its result, but a model was used
    // outside the range it is meant for, where extrapolation is customary
    // (see docs/models.md).  Set only while the flag is 0 or already 7.
    kExtrapolated = 7,
};

// The exception type used inside the library.  It never crosses the C
// boundary: guarded() turns it into the calling thread's error state.
class Error : public std::runtime_error {
  public:
    explicit Error(std::string message, int code = kBadArgument)
        : std::runtime_error(std::move(message)), code_(code) {}
    int code() const noexcept { return code_; }

  private:
    int code_;
};

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

namespace core {

// Record a failure for the calling thread: message is stored as given.
void setError(int code, std::string_view message) noexcept;
// Current flag and message of the calling thread.
int errorFlag() noexcept;
const std::string& errorMessage() noexcept;
// Set the flag to a value; 0 also clears the message.  Returns the previous flag.
int setErrorFlag(int value) noexcept;
// Error reporting mode of the calling thread: 0 store silently (default),
// 1 also print every message to standard error.
int errorMode() noexcept;
void setErrorMode(int mode) noexcept;

// Extrapolation warnings.  A calculation notes one (the first of a call is
// kept); when the exported function then returns its result, guarded()
// records "<fn>: <message>" with flag kExtrapolated unless the thread's flag
// already holds a failure.  A call that fails drops the note.
void noteExtrapolation(std::string_view message) noexcept;
void commitExtrapolation(const char* fn) noexcept;
void dropExtrapolation() noexcept;

// Helpers for argument checks; they throw zpk::Error with a message that
// names the argument and its value.
[[noreturn]] void fail(std::string message, int code = kBadArgument);
double requireFinite(const char* what, double v);

} // namespace core

// Run body; on any exception record "<fn>: <message>" for the calling thread
// and return failValue.  Used by every exported function.
template <class R, class F> R guarded(const char* fn, R failValue, F&& body) noexcept {
    try {
        R result = body();
        core::commitExtrapolation(fn);
        return result;
    } catch (const Error& e) {
        core::setError(e.code(), std::string(fn) + ": " + e.what());
    } catch (const std::bad_alloc&) {
        core::setError(kInternal, std::string(fn) + ": out of memory");
    } catch (const std::exception& e) {
        core::setError(kInternal, std::string(fn) + ": internal error: " + e.what());
    } catch (...) {
        core::setError(kInternal, std::string(fn) + ": internal error");
    }
    core::dropExtrapolation();
    return failValue;
}

} // namespace zpk
