// Size checks of caller arrays for the _zelta wrappers.
//
// Before a wrapper hands an array to the library it compares the array's
// capacity with what the library will read or write through it (the extents
// of zpk/functions.tsv; the per-function code is generated from the table by
// gen_array_checks.py).  Only blocks of zelta_arrays have a known capacity
// (capacity_registry.h); null pointers and pointers of unknown origin pass
// unchecked.  A block that is too small stops the call: the wrapper returns
// the function's failure value and the calling thread's error state holds
// flag 1 (bad argument) and a message such as
//   "xsfv: argument 6 (F) holds 1 double, the stream has 3 components".
//
// Everything here runs with the interpreter lock held and has internal
// linkage, so _zelta exports no symbol of its own besides PyInit__zelta
// (helpers a given table does not need are marked [[maybe_unused]]).
#ifndef ZELTA_BINDING_ARRAY_CHECKS_H
#define ZELTA_BINDING_ARRAY_CHECKS_H

#include <Python.h>

#include <cstdio>
#include <string>

#include "capacity_registry.h"
#include "zpk/zpk_binding.h"

namespace zelta_checks {
namespace {

constexpr int kBadArgument = 1; // the library's flag for a rejected argument

// The registry of zelta_arrays, or null while that module is not imported
// (then no registered block can exist).  Found once, then kept: an
// extension module stays loaded until the process ends.
[[maybe_unused]] const ZeltaCapacityApi* registry() {
    static const ZeltaCapacityApi* found = nullptr;
    if (found) return found;
    PyObject* module = PyDict_GetItemString(PyImport_GetModuleDict(), "zelta_arrays"); // borrowed
    if (!module) return nullptr;
    PyObject* capsule = PyObject_GetAttrString(module, ZELTA_CAPACITY_ATTRIBUTE);
    if (!capsule) {
        PyErr_Clear();
        return nullptr;
    }
    auto* api = static_cast<const ZeltaCapacityApi*>(PyCapsule_GetPointer(capsule, ZELTA_CAPACITY_CAPSULE));
    Py_DECREF(capsule);
    if (!api) {
        PyErr_Clear();
        return nullptr;
    }
    if (api->version == ZELTA_CAPACITY_VERSION) found = api;
    return found;
}

// Decimal text of n.  (Not std::to_string: its digit table would be a
// process-wide unique symbol exported from the module.)
[[maybe_unused]] std::string number(long n) {
    char text[24];
    std::snprintf(text, sizeof text, "%ld", n);
    return text;
}

[[maybe_unused]] std::string plural(long n, const char* word) {
    return number(n) + " " + word + (n == 1 ? "" : "s");
}

// What an extent stands for, in words, for the message.
[[maybe_unused]] std::string streamPhrase(long n) {
    return "the stream has " + plural(n, "component");
}
[[maybe_unused]] std::string countPhrase(bool writes, long n) {
    return std::string(writes ? "the call writes " : "the call reads ") + number(n);
}
[[maybe_unused]] std::string matrixPhrase(bool writes, long rows, long cols) {
    return std::string(writes ? "the call writes " : "the call reads ") + plural(rows, "row") + " of " +
           number(cols);
}
[[maybe_unused]] std::string argumentPhrase(int position, const char* name, long n) {
    return "argument " + number(position) + " (" + name + ") is " + number(n);
}

// Number of component positions of the stream behind a derivative slot of
// the calling thread; -1 when the library cannot tell (it then rejects the
// call itself).
[[maybe_unused]] long slotPositions(int slot) {
    return zpkBindingSlotPositions(slot);
}

// Sum and product of extents, unknown (-1) when a part is unknown or negative.
[[maybe_unused]] long plus(long a, long b) {
    return a < 0 || b < 0 ? -1 : a + b;
}
[[maybe_unused]] long times(long a, long b) {
    return a < 0 || b < 0 ? -1 : a * b;
}

// The checks of one call.
class Call {
  public:
    explicit Call(const char* function) : function_(function), registry_(registry()) {}

    // True when p is a block of zelta_arrays (its size is then known).
    bool known(const void* p) const {
        ZeltaBlockInfo info;
        return p && registry_ && registry_->lookup(p, &info);
    }

    // A double * argument that the library reads or writes `need` elements of.
    bool doubles(int position, const char* name, const double* p, long need, const std::string& why) const {
        ZeltaBlockInfo info;
        if (need < 0 || !p || !registry_ || !registry_->lookup(p, &info)) return true;
        if (info.count >= need) return true;
        return refuse(position, name, "holds " + plural(info.count, "double"), why);
    }

    // A double ** argument: `rows` row pointers, each row `cols` elements.
    bool matrix(int position, const char* name, double* const* p, long rows, long cols,
                const std::string& why) const {
        ZeltaBlockInfo info;
        if (rows < 0 || cols < 0 || !p || !registry_ || !registry_->lookup(p, &info)) return true;
        if (info.count >= rows && (rows == 0 || info.cols >= cols)) return true;
        return refuse(position, name,
                      "holds " + plural(info.count, "row") + " of " + plural(info.cols, "double"), why);
    }

  private:
    bool refuse(int position, const char* name, const std::string& holds, const std::string& why) const {
        const std::string message = std::string(function_) + ": argument " + number(position) + " (" + name +
                                    ") " + holds + ", " + why;
        zpkBindingSetError(kBadArgument, message.c_str());
        return false;
    }

    const char* function_;
    const ZeltaCapacityApi* registry_;
};

} // namespace
} // namespace zelta_checks

#endif
