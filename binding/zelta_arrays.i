/* zelta_arrays: caller-owned arrays for the array arguments of _zelta.
 *
 * The derivative functions of _zelta (xsfv, xsfvd, xshv, ...) take double *
 * and double ** arguments, which Python can only pass as pointer objects.
 * This module makes such objects: zero-filled double arrays, row-pointer
 * matrices whose rows are double arrays, and byte buffers usable as char *
 * text arguments.  It is built with the same SWIG Python runtime as _zelta,
 * so both modules share the "_p_double", "_p_p_double" and "_p_char" type
 * records through the swig_runtime_data4 registry and the pointer objects
 * made here pass _zelta's type checks.
 *
 * Every block is recorded with its kind and element count in a registry
 * (capacity_registry.h), so reads and writes are bounds-checked, a pointer
 * that did not come from here is refused rather than freed, and _zelta
 * checks a block's size against what the library will read or write before
 * it calls the library (the registry reaches _zelta through the capsule
 * zelta_arrays._capacity_registry).  The
 * pointer objects do not own the memory: free it with the matching delete_
 * function (the zelta package does that for you).
 */
%module zelta_arrays

%{
#include "arrays.h"
%}

/* The registry's capsule, for _zelta. */
%init %{
  {
    PyObject *capsule = PyCapsule_New(const_cast<ZeltaCapacityApi *>(zelta_arrays::capacity_api()),
                                      ZELTA_CAPACITY_CAPSULE, NULL);
    if (!capsule || PyDict_SetItemString(d, ZELTA_CAPACITY_ATTRIBUTE, capsule) < 0) {
      Py_XDECREF(capsule);
      return NULL;
    }
    Py_DECREF(capsule);
  }
%}

/* The helpers are cheap; keep the interpreter lock while they run. */
%feature("nothread");

%exception {
  try {
    $action
  } catch (const std::out_of_range& e) {
    SWIG_exception_fail(SWIG_IndexError, e.what());
  } catch (const std::invalid_argument& e) {
    SWIG_exception_fail(SWIG_ValueError, e.what());
  } catch (const std::bad_alloc&) {
    SWIG_exception_fail(SWIG_MemoryError, "out of memory");
  }
}

/* Byte buffers travel as "_p_char" pointer objects in both directions: a
 * str must not be accepted here (SWIG would pass a temporary copy). */
%typemap(in) char *buffer {
  if (SWIG_ConvertPtr($input, (void**)&$1, $descriptor(char *), 0) != SWIG_OK) {
    SWIG_exception_fail(SWIG_TypeError, "in method '$symname', argument $argnum of type 'char *'");
  }
}
%typemap(out) char *new_chars {
  $result = SWIG_NewPointerObj($1, $descriptor(char *), 0);
}

namespace zelta_arrays {
double *new_doubles(int n);
void delete_doubles(double *array);
int doubles_size(double *array);
double doubles_getitem(double *array, int i);
void doubles_setitem(double *array, int i, double value);

double **new_matrix(int rows, int cols);
void delete_matrix(double **matrix);
int matrix_rows(double **matrix);
int matrix_cols(double **matrix);
double *matrix_row(double **matrix, int i);
double matrix_getitem(double **matrix, int i, int j);
void matrix_setitem(double **matrix, int i, int j, double value);

char *new_chars(int n);
void delete_chars(char *buffer);
int chars_size(char *buffer);
int chars_getitem(char *buffer, int i);
void chars_setitem(char *buffer, int i, int value);
}
