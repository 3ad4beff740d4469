// Recording stand-in for libzpk, used to test the _zelta wrappers.
//
// Every exposed zpk function is defined (generated from zpk/functions.tsv by
// generate_probe.py) and records its call: the name and, per argument, the
// int or double value, the text bytes of a char * (or that it was null), or
// the address of an array.  Results are programmed per function name through
// the extern "C" control functions, which the tests reach with ctypes.  A
// programmed delay keeps the call inside the library for a while, so that
// tests can observe what Python does meanwhile.
#ifndef ZELTA_TESTS_PROBE_H
#define ZELTA_TESTS_PROBE_H

#include <string>
#include <vector>

namespace probe {

struct Arg {
    char kind = 0; // 'i' int, 'd' double, 't' text, 'p' pointer
    double num = 0.0;
    bool null = false;
    std::string bytes;
    const void* ptr = nullptr;
};

class Recorder {
  public:
    explicit Recorder(const char* name) : name_(name) {}
    Recorder& i(int v);
    Recorder& d(double v);
    Recorder& t(const char* v);
    Recorder& p(const void* v);
    int asInt();
    double asDouble();
    char* asText();

  private:
    double finish();
    const char* name_;
    std::vector<Arg> args_;
};

} // namespace probe

#endif
