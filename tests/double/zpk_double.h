// Recording test double of the zpk C interface.
//
// Every function of zpk/zpk.h is defined (generated from the header) and
// records its call: the function name, its int/double arguments as doubles in
// order, its text arguments as strings and its array arguments as raw
// pointers.  Results are programmable per function name; unprogrammed
// functions return 0 (numbers) or "" (texts).  All state is guarded by one
// mutex, so the double may be called from many threads at once.
#ifndef ZPK_TESTS_DOUBLE_ZPK_DOUBLE_H
#define ZPK_TESTS_DOUBLE_ZPK_DOUBLE_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace zpkdouble {

struct Call {
    std::string name;
    std::vector<double> num;       // int and double arguments, in order
    std::vector<std::string> text; // char* arguments, in order
    std::vector<void*> ptr;        // array (pointer) arguments, in order

    // Typed access to the i-th array argument.
    template <class T> T* array(std::size_t i) const { return static_cast<T*>(ptr.at(i)); }
};

using Handler = std::function<double(const Call&)>;
using NumHandler = std::function<double(const std::vector<double>&)>;
using TextHandler = std::function<std::string(const Call&)>;

// Forget every programmed result and the call log.
void reset();

// Numeric results (int functions return the value truncated toward zero;
// a non-finite value gives 0 for int functions).
void setReturn(const std::string& name, double value);
// Successive calls return the values in turn; the last one repeats.
void setReturnSequence(const std::string& name, std::vector<double> values);
// The handler computes the result; it may write through Call::ptr.
// A handler takes precedence over setReturn/setReturnSequence.
void setHandler(const std::string& name, Handler handler);
void setHandler(const std::string& name, NumHandler handler);

// Text results (char* functions).  The returned buffer stays valid until the
// next call of the same function or reset().
void setTextReturn(const std::string& name, std::string value);
void setTextReturnSequence(const std::string& name, std::vector<std::string> values);
void setTextHandler(const std::string& name, TextHandler handler);

// The call log.
void clearCalls(); // forget the log, keep the programmed results
std::vector<Call> calls();
std::vector<Call> calls(const std::string& name); // only calls of one function
std::vector<std::string> callNames();             // function names in call order
std::size_t count(const std::string& name);
std::size_t totalCalls();

// Number of functions the double defines (one per zpk.h declaration).
int interfaceSize();

namespace detail {
double record(Call&& call);
char* recordText(Call&& call);
int toInt(double value);
} // namespace detail

} // namespace zpkdouble

#endif
