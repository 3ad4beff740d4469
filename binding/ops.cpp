// _zelta_ops: the library functions that _zelta does not carry (the column,
// binary regression, envelope and phase-fraction lines, the highest dew
// temperature, the data folder), with Python sequences in and tuples out.
//
// Unlike _zelta, these wrappers raise: lengths and kinds of the sequences are
// checked before the library is called (zelta.LengthError), and a failing
// library call raises zelta.ZeltaError with the calling thread's error flag
// and message (the library's own root cause; the flag is cleared before each
// call).  A result computed outside a model's validity range (flag 7) comes
// back with a zelta.ExtrapolationWarning.  The interpreter lock is released
// around every library call.  Counts of the C functions are the lengths of
// the sequences; outputs are returned, not passed.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <type_traits>
#include <vector>

#include "zpk/zpk.h"

namespace {

constexpr int kCalculation = 3;  // flag of a failed calculation
constexpr int kExtrapolated = 7; // flag of a result outside the validity range

// The package's exception (or warning) class `name` of zelta.errors, or
// `fallback` when the package cannot be imported (the module used alone).
PyObject* packageClass(const char* name, PyObject* fallback) {
    PyObject* module = PyImport_ImportModule("zelta.errors");
    if (!module) {
        PyErr_Clear();
        Py_INCREF(fallback);
        return fallback;
    }
    PyObject* cls = PyObject_GetAttrString(module, name);
    Py_DECREF(module);
    if (!cls) {
        PyErr_Clear();
        Py_INCREF(fallback);
        return fallback;
    }
    return cls;
}

// Raise zelta.ZeltaError(code, message, function); returns null.
PyObject* raiseLibrary(int code, const std::string& message, const char* function) {
    PyObject* cls = packageClass("ZeltaError", PyExc_RuntimeError);
    PyObject* exc = cls == PyExc_RuntimeError
                        ? PyObject_CallFunction(cls, "s", (std::string(function) + ": " + message).c_str())
                        : PyObject_CallFunction(cls, "iss", code, message.c_str(), function);
    Py_DECREF(cls);
    if (exc) {
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exc)), exc);
        Py_DECREF(exc);
    }
    return nullptr;
}

// Raise zelta.LengthError(function, message) (a ZeltaError and a ValueError).
PyObject* raiseLength(const char* function, const std::string& message) {
    PyObject* cls = packageClass("LengthError", PyExc_ValueError);
    PyObject* exc = cls == PyExc_ValueError
                        ? PyObject_CallFunction(cls, "s", (std::string(function) + ": " + message).c_str())
                        : PyObject_CallFunction(cls, "ss", function, message.c_str());
    Py_DECREF(cls);
    if (exc) {
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exc)), exc);
        Py_DECREF(exc);
    }
    return nullptr;
}

// After a library call: raise for a set flag (or a failure value with the
// flag clear), warn for an extrapolated result.  True when the call stands.
bool settle(const char* function, bool failed) {
    const int flag = getErrFlag();
    if (flag == kExtrapolated && !failed) {
        const std::string text = std::string(function) + ": " + ErrMsg();
        setErrFlag(0);
        PyObject* cls = packageClass("ExtrapolationWarning", PyExc_UserWarning);
        const int rc = PyErr_WarnEx(cls, text.c_str(), 1);
        Py_DECREF(cls);
        return rc == 0;
    }
    if (flag) {
        const std::string message = ErrMsg();
        setErrFlag(0);
        raiseLibrary(flag, message, function);
        return false;
    }
    if (failed) {
        raiseLibrary(kCalculation, "returned its failure value", function);
        return false;
    }
    return true;
}

// A sequence argument converted to a vector; `none` tells whether None was
// given (allowed only where `optional`).  Returns false with an exception set.
template <class T>
bool sequence(PyObject* obj, const char* function, const char* what, bool optional, std::vector<T>& out,
              bool& none) {
    none = obj == Py_None;
    out.clear();
    if (none) {
        if (optional) return true;
        raiseLength(function, std::string(what) + " is required (a sequence, not None)");
        return false;
    }
    PyObject* fast = PySequence_Fast(obj, "");
    if (!fast) {
        PyErr_Clear();
        PyErr_Format(PyExc_TypeError, "%s: %s must be a sequence of numbers, not %s", function, what,
                     Py_TYPE(obj)->tp_name);
        return false;
    }
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(fast);
    out.reserve(static_cast<std::size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* item = PySequence_Fast_GET_ITEM(fast, i);
        if constexpr (std::is_same_v<T, int>) {
            if (!PyLong_Check(item)) {
                Py_DECREF(fast);
                PyErr_Format(PyExc_TypeError, "%s: %s[%zd] must be an int, not %s", function, what, i,
                             Py_TYPE(item)->tp_name);
                return false;
            }
            const long v = PyLong_AsLong(item);
            if ((v == -1 && PyErr_Occurred()) || v < -2147483647L - 1 || v > 2147483647L) {
                PyErr_Clear();
                Py_DECREF(fast);
                PyErr_Format(PyExc_OverflowError, "%s: %s[%zd] is outside the 32-bit range", function, what,
                             i);
                return false;
            }
            out.push_back(static_cast<int>(v));
        } else {
            const double v = PyFloat_AsDouble(item);
            if (v == -1.0 && PyErr_Occurred()) {
                PyErr_Clear();
                Py_DECREF(fast);
                PyErr_Format(PyExc_TypeError, "%s: %s[%zd] must be a number, not %s", function, what, i,
                             Py_TYPE(item)->tp_name);
                return false;
            }
            out.push_back(v);
        }
    }
    Py_DECREF(fast);
    return true;
}

template <class T> T* data(std::vector<T>& v, bool none) {
    return none || v.empty() ? nullptr : v.data();
}

bool sameLength(const char* function, const char* what, std::size_t size, const char* ofWhat,
                std::size_t expected, bool none) {
    if (none || size == expected) return true;
    raiseLength(function, std::string(what) + " holds " + std::to_string(size) + " values, needs " +
                              std::to_string(expected) + " (" + ofWhat + ")");
    return false;
}

PyObject* tupleOf(const double* v, std::size_t n) {
    PyObject* t = PyTuple_New(static_cast<Py_ssize_t>(n));
    if (!t) return nullptr;
    for (std::size_t i = 0; i < n; ++i) {
        PyObject* f = PyFloat_FromDouble(v[i]);
        if (!f) {
            Py_DECREF(t);
            return nullptr;
        }
        PyTuple_SET_ITEM(t, static_cast<Py_ssize_t>(i), f);
    }
    return t;
}

// Distinct component codes of the feeds: the first feed's in its order,
// then those only later feeds have (the column's component list).  The
// error state is left as it was found clear (a bad feed is the column's to
// report).
std::vector<int> columnComponents(const std::vector<int>& feeds) {
    std::vector<int> codes;
    for (int f : feeds) {
        const int n = getCNr(f);
        for (int i = 1; i <= n; ++i) {
            const int c = getCC(f, i);
            if (c > 0 && std::find(codes.begin(), codes.end(), c) == codes.end()) codes.push_back(c);
        }
    }
    setErrFlag(0);
    return codes;
}

// dcol(kind, mode, pressures, heat, efficiency, guess, top, bottom, feeds,
//      feed_stages, draws, draw_stages, draw_kinds, draw_amounts,
//      spec_places, spec_quantities, spec_components, spec_values)
// -> (duties (added, removed), component codes, top flows, bottom flows,
//     stage temperatures)
PyObject* dcol(PyObject*, PyObject* args) {
    const char* fn = "DCOL";
    int kind = 0, mode = 0, top = 0, bottom = 0;
    PyObject *oP, *oHeat, *oEff, *oGuess, *oFeeds, *oFeedStages, *oDraws, *oDrawStages, *oDrawKinds,
        *oDrawAmounts, *oA, *oB, *oC, *oV;
    if (!PyArg_ParseTuple(args, "iiOOOOiiOOOOOOOOOO:dcol", &kind, &mode, &oP, &oHeat, &oEff, &oGuess, &top,
                          &bottom, &oFeeds, &oFeedStages, &oDraws, &oDrawStages, &oDrawKinds, &oDrawAmounts,
                          &oA, &oB, &oC, &oV))
        return nullptr;
    std::vector<double> pressure, heat, eff, guess, drawAmounts, values;
    std::vector<int> feeds, feedStages, draws, drawStages, drawKinds, a, b, c;
    bool nP, nHeat, nEff, nGuess, nF, nFS, nD, nDS, nDK, nDA, nA, nB, nC, nV;
    if (!sequence(oP, fn, "stage pressures", false, pressure, nP) ||
        !sequence(oHeat, fn, "stage heats", true, heat, nHeat) ||
        !sequence(oEff, fn, "stage efficiencies", true, eff, nEff) ||
        !sequence(oGuess, fn, "temperature estimates", true, guess, nGuess) ||
        !sequence(oFeeds, fn, "feed streams", false, feeds, nF) ||
        !sequence(oFeedStages, fn, "feed stages", false, feedStages, nFS) ||
        !sequence(oDraws, fn, "side-draw streams", true, draws, nD) ||
        !sequence(oDrawStages, fn, "side-draw stages", true, drawStages, nDS) ||
        !sequence(oDrawKinds, fn, "side-draw kinds", true, drawKinds, nDK) ||
        !sequence(oDrawAmounts, fn, "side-draw amounts", true, drawAmounts, nDA) ||
        !sequence(oA, fn, "specification places", true, a, nA) ||
        !sequence(oB, fn, "specification quantities", true, b, nB) ||
        !sequence(oC, fn, "specification components", true, c, nC) ||
        !sequence(oV, fn, "specification values", true, values, nV))
        return nullptr;
    const std::size_t stages = pressure.size();
    if (stages < 2 || stages > 500)
        return raiseLength(fn, "stage pressures hold " + std::to_string(stages) +
                                   " values; a column has 2..500 stages");
    if (!sameLength(fn, "stage heats", heat.size(), "one per stage", stages, nHeat) ||
        !sameLength(fn, "stage efficiencies", eff.size(), "one per stage", stages, nEff) ||
        !sameLength(fn, "temperature estimates", guess.size(), "one per stage", stages, nGuess) ||
        !sameLength(fn, "feed stages", feedStages.size(), "one per feed stream", feeds.size(), false) ||
        !sameLength(fn, "side-draw stages", drawStages.size(), "one per side draw", draws.size(), false) ||
        !sameLength(fn, "side-draw kinds", drawKinds.size(), "one per side draw", draws.size(), false) ||
        !sameLength(fn, "side-draw amounts", drawAmounts.size(), "one per side draw", draws.size(), false) ||
        !sameLength(fn, "specification quantities", b.size(), "one per specification place", a.size(),
                    false) ||
        !sameLength(fn, "specification components", c.size(), "one per specification place", a.size(),
                    false) ||
        !sameLength(fn, "specification values", values.size(), "one per specification place", a.size(),
                    false))
        return nullptr;
    if (feeds.empty() || feeds.size() > 100)
        return raiseLength(fn, "feed streams hold " + std::to_string(feeds.size()) +
                                   " values; a column has 1..100 feeds");
    if (draws.size() > 100)
        return raiseLength(fn, std::to_string(draws.size()) + " side draws; a column has at most 100");
    if (a.size() > 2)
        return raiseLength(fn, std::to_string(a.size()) + " specifications; a column takes 0, 1 or 2");

    std::vector<int> codes;
    std::size_t positions = 0;
    double duties[2] = {0.0, 0.0};
    std::vector<double> results;
    int rc = 0;
    Py_BEGIN_ALLOW_THREADS;
    setErrFlag(0);
    codes = columnComponents(feeds);
    for (int f : feeds)
        positions += static_cast<std::size_t>(std::max(getCNr(f), 0));
    setErrFlag(0);
    results.assign(2 * std::max(positions, codes.size()) + stages, NAN);
    rc = DCOL(kind, static_cast<int>(stages), mode, data(heat, nHeat), pressure.data(), data(eff, nEff),
              data(guess, nGuess), top, bottom, static_cast<int>(feeds.size()), feeds.data(),
              feedStages.data(), static_cast<int>(draws.size()), data(draws, false), data(drawStages, false),
              data(drawKinds, false), data(drawAmounts, false), static_cast<int>(a.size()), duties,
              data(a, false), data(b, false), data(c, false), data(values, false), results.data());
    Py_END_ALLOW_THREADS;
    if (!settle(fn, rc == 0)) return nullptr;
    const std::size_t n = codes.size();
    PyObject* codeTuple = PyTuple_New(static_cast<Py_ssize_t>(n));
    if (!codeTuple) return nullptr;
    for (std::size_t i = 0; i < n; ++i)
        PyTuple_SET_ITEM(codeTuple, static_cast<Py_ssize_t>(i), PyLong_FromLong(codes[i]));
    return Py_BuildValue("(NNNNN)", tupleOf(duties, 2), codeTuple, tupleOf(results.data(), n),
                         tupleOf(results.data() + n, n), tupleOf(results.data() + 2 * n, stages));
}

// bregr(stream, code, a, b, c, x, y, T, P, flags) -> (params[10], x_out, y_out)
PyObject* bregr(PyObject*, PyObject* args) {
    const char* fn = "BRegr";
    int stream = 0, code = 0, a = 0, b = 0, c = 0;
    PyObject *oX, *oY, *oT, *oP, *oFlags;
    if (!PyArg_ParseTuple(args, "iiiiiOOOOO:bregr", &stream, &code, &a, &b, &c, &oX, &oY, &oT, &oP, &oFlags))
        return nullptr;
    std::vector<double> x, y, T, P;
    std::vector<int> flags;
    bool nX, nY, nT, nP, nFlags;
    if (!sequence(oX, fn, "x", false, x, nX) || !sequence(oY, fn, "y", false, y, nY) ||
        !sequence(oT, fn, "T", false, T, nT) || !sequence(oP, fn, "P", false, P, nP) ||
        !sequence(oFlags, fn, "flags", true, flags, nFlags))
        return nullptr;
    const std::size_t points = x.size();
    if (points < 1 || points > 10000)
        return raiseLength(fn, "x holds " + std::to_string(points) +
                                   " values; a regression takes 1..10000 points");
    if (!sameLength(fn, "y", y.size(), "one per point of x", points, false) ||
        !sameLength(fn, "T", T.size(), "one per point of x", points, false) ||
        !sameLength(fn, "P", P.size(), "one per point of x", points, false) ||
        !sameLength(fn, "flags", flags.size(), "one per point of x", points, nFlags))
        return nullptr;
    double params[10];
    std::fill(params, params + 10, NAN);
    std::vector<double> xOut(points, NAN), yOut(points, NAN);
    int rc = 0;
    Py_BEGIN_ALLOW_THREADS;
    setErrFlag(0);
    rc = BRegr(stream, 2, code, a, b, c, static_cast<int>(points), data(flags, nFlags), x.data(), y.data(),
               T.data(), P.data(), params, xOut.data(), yOut.data());
    Py_END_ALLOW_THREADS;
    if (!settle(fn, rc == 0)) return nullptr;
    return Py_BuildValue("(NNN)", tupleOf(params, 10), tupleOf(xOut.data(), points),
                         tupleOf(yOut.data(), points));
}

bool capacityOk(const char* fn, int capacity) {
    if (capacity >= 1 && capacity <= 1000000) return true;
    raiseLength(fn, "capacity " + std::to_string(capacity) + " is not in 1..1000000");
    return false;
}

PyObject* pointsOf(const std::vector<double>& T, const std::vector<double>& P, int count) {
    const std::size_t n = static_cast<std::size_t>(std::max(count, 0));
    return Py_BuildValue("(NN)", tupleOf(T.data(), n), tupleOf(P.data(), n));
}

// pfline(stream, kind, fraction, capacity) -> (T, P) of a line of constant phase fraction
PyObject* pfline(PyObject*, PyObject* args) {
    int stream = 0, kind = 0, capacity = 0;
    double fraction = 0;
    if (!PyArg_ParseTuple(args, "iidi:pfline", &stream, &kind, &fraction, &capacity)) return nullptr;
    if (!capacityOk("PFLine", capacity)) return nullptr;
    std::vector<double> T(static_cast<std::size_t>(capacity)), P(static_cast<std::size_t>(capacity));
    int count = 0;
    Py_BEGIN_ALLOW_THREADS;
    setErrFlag(0);
    count = PFLine(stream, kind, fraction, T.data(), P.data(), capacity);
    Py_END_ALLOW_THREADS;
    if (!settle("PFLine", count == 0)) return nullptr;
    return pointsOf(T, P, count);
}

// peline(stream, line, capacity) -> (T, P) of an envelope line
PyObject* peline(PyObject*, PyObject* args) {
    int stream = 0, line = 0, capacity = 0;
    if (!PyArg_ParseTuple(args, "iii:peline", &stream, &line, &capacity)) return nullptr;
    if (!capacityOk("PELine", capacity)) return nullptr;
    std::vector<double> T(static_cast<std::size_t>(capacity)), P(static_cast<std::size_t>(capacity));
    int count = 0;
    Py_BEGIN_ALLOW_THREADS;
    setErrFlag(0);
    count = PELine(stream, line, T.data(), P.data(), capacity);
    Py_END_ALLOW_THREADS;
    if (!settle("PELine", count == 0)) return nullptr;
    return pointsOf(T, P, count);
}

// strmdt(stream) -> the highest dew temperature
PyObject* strmdt(PyObject*, PyObject* arg) {
    int stream = 0;
    PyObject* tuple = PyTuple_Pack(1, arg);
    if (!tuple) return nullptr;
    const int ok = PyArg_ParseTuple(tuple, "i:strmdt", &stream);
    Py_DECREF(tuple);
    if (!ok) return nullptr;
    double t = NAN;
    Py_BEGIN_ALLOW_THREADS;
    setErrFlag(0);
    t = StrMDt(stream);
    Py_END_ALLOW_THREADS;
    if (!settle("StrMDt", !std::isfinite(t))) return nullptr;
    return PyFloat_FromDouble(t);
}

// getdataf() -> the library's data folder
PyObject* getdataf(PyObject*, PyObject*) {
    const char* folder = nullptr;
    Py_BEGIN_ALLOW_THREADS;
    setErrFlag(0);
    folder = getDATAF();
    Py_END_ALLOW_THREADS;
    if (!settle("getDATAF", folder == nullptr)) return nullptr;
    return PyUnicode_DecodeFSDefault(folder);
}

PyMethodDef methods[] = {
    {"dcol", dcol, METH_VARARGS,
     "dcol(kind, mode, pressures, heat, efficiency, guess, top, bottom, feeds, feed_stages, draws, "
     "draw_stages, "
     "draw_kinds, draw_amounts, spec_places, spec_quantities, spec_components, spec_values)\n"
     "-> (duties, component codes, top flows, bottom flows, stage temperatures). DCOL in library units."},
    {"bregr", bregr, METH_VARARGS,
     "bregr(stream, code, a, b, c, x, y, T, P, flags) -> (params[10], x_out, y_out). BRegr in library "
     "units."},
    {"pfline", pfline, METH_VARARGS,
     "pfline(stream, kind, fraction, capacity) -> (T, P): PFLine, a line of constant phase fraction."},
    {"peline", peline, METH_VARARGS, "peline(stream, line, capacity) -> (T, P): PELine, an envelope line."},
    {"strmdt", strmdt, METH_O, "strmdt(stream) -> highest dew temperature (StrMDt)."},
    {"getdataf", getdataf, METH_NOARGS, "getdataf() -> the library's data folder (getDATAF)."},
    {nullptr, nullptr, 0, nullptr}};

PyModuleDef moduleDef = {PyModuleDef_HEAD_INIT,
                         "_zelta_ops",
                         "Library functions beside _zelta: column, regression, envelope lines; raising "
                         "zelta.ZeltaError on failure.",
                         -1,
                         methods,
                         nullptr,
                         nullptr,
                         nullptr,
                         nullptr};

} // namespace

PyMODINIT_FUNC PyInit__zelta_ops(void) {
    return PyModule_Create(&moduleDef);
}
