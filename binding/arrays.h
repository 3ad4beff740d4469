// Caller-owned arrays for the zelta_arrays companion module.
//
// Every block is recorded with its kind and element count in a process-wide
// registry (capacity_registry.h), so that element access is bounds checked,
// a foreign or already freed pointer is refused without reading its memory,
// and _zelta can check a block's size before the library uses it.  Failures throw
// std::invalid_argument (bad pointer or size) or std::out_of_range (bad
// index); the SWIG wrappers turn them into ValueError and IndexError.
#ifndef ZELTA_BINDING_ARRAYS_H
#define ZELTA_BINDING_ARRAYS_H

#include <new>
#include <stdexcept>

#include "capacity_registry.h"

namespace zelta_arrays {

// The registry's read access, handed to _zelta through a capsule.
const ZeltaCapacityApi* capacity_api();

double* new_doubles(int n);
void delete_doubles(double* array);
int doubles_size(double* array);
double doubles_getitem(double* array, int i);
void doubles_setitem(double* array, int i, double value);

// A rows x cols matrix as an array of row pointers; each row is a double
// array of its own (usable wherever a double * is expected) that lives and
// dies with the matrix.
double** new_matrix(int rows, int cols);
void delete_matrix(double** matrix);
int matrix_rows(double** matrix);
int matrix_cols(double** matrix);
double* matrix_row(double** matrix, int i);
double matrix_getitem(double** matrix, int i, int j);
void matrix_setitem(double** matrix, int i, int j, double value);

// Byte buffers of n bytes plus a terminating NUL, for char * arguments.
char* new_chars(int n);
void delete_chars(char* buffer);
int chars_size(char* buffer);
int chars_getitem(char* buffer, int i);
void chars_setitem(char* buffer, int i, int value);

} // namespace zelta_arrays

#endif
