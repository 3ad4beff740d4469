#include "arrays.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace zelta_arrays {
namespace {

constexpr std::uint32_t kTag = 0x7a656c74; // "zelt"

enum class Kind : std::int32_t { Doubles = 1, MatrixRow = 2, Matrix = 3, Chars = 4 };

// 16 bytes, so the payload behind it keeps the alignment of malloc.
struct Header {
    std::uint32_t tag;
    Kind kind;
    std::int32_t count; // elements (rows for a matrix)
    std::int32_t cols;  // matrix only
};
static_assert(sizeof(Header) == 16);

const char* kindName(Kind kind) {
    switch (kind) {
    case Kind::Doubles:
    case Kind::MatrixRow:
        return "double array";
    case Kind::Matrix:
        return "matrix";
    case Kind::Chars:
        return "byte buffer";
    }
    return "block";
}

void* allocate(Kind kind, int count, int cols, std::size_t payload) {
    void* raw = std::calloc(1, sizeof(Header) + payload);
    if (!raw) throw std::bad_alloc();
    auto* h = static_cast<Header*>(raw);
    h->tag = kTag;
    h->kind = kind;
    h->count = count;
    h->cols = cols;
    return h + 1;
}

Header* header(const void* p, Kind kind, bool allowRow = false) {
    if (!p)
        throw std::invalid_argument(std::string("null pointer where a ") + kindName(kind) + " was expected");
    auto* h = const_cast<Header*>(static_cast<const Header*>(p) - 1);
    const bool kindOk = h->kind == kind || (allowRow && h->kind == Kind::MatrixRow);
    if (h->tag != kTag || !kindOk)
        throw std::invalid_argument(std::string("pointer is not a live ") + kindName(kind) +
                                    " of this module");
    return h;
}

void release(Header* h) {
    h->tag = 0; // a second delete or a later access is refused, not undefined
    std::free(h);
}

void checkSize(int n, const char* what) {
    if (n < 0) throw std::invalid_argument(std::string(what) + " must not be negative");
}

int checkIndex(const Header* h, int i) {
    if (i < 0 || i >= h->count)
        throw std::out_of_range("index " + std::to_string(i) + " out of range 0.." +
                                std::to_string(h->count - 1));
    return i;
}

} // namespace

double* new_doubles(int n) {
    checkSize(n, "size");
    return static_cast<double*>(allocate(Kind::Doubles, n, 0, sizeof(double) * static_cast<std::size_t>(n)));
}

void delete_doubles(double* array) {
    if (!array) return;
    Header* h = header(array, Kind::Doubles, true);
    if (h->kind == Kind::MatrixRow) throw std::invalid_argument("a matrix row is freed with its matrix");
    release(h);
}

int doubles_size(double* array) {
    return header(array, Kind::Doubles, true)->count;
}

double doubles_getitem(double* array, int i) {
    return array[checkIndex(header(array, Kind::Doubles, true), i)];
}

void doubles_setitem(double* array, int i, double value) {
    array[checkIndex(header(array, Kind::Doubles, true), i)] = value;
}

double** new_matrix(int rows, int cols) {
    checkSize(rows, "row count");
    checkSize(cols, "column count");
    auto** matrix = static_cast<double**>(
        allocate(Kind::Matrix, rows, cols, sizeof(double*) * static_cast<std::size_t>(rows)));
    try {
        for (int r = 0; r < rows; ++r)
            matrix[r] = static_cast<double*>(
                allocate(Kind::MatrixRow, cols, 0, sizeof(double) * static_cast<std::size_t>(cols)));
    } catch (...) {
        delete_matrix(matrix);
        throw;
    }
    return matrix;
}

void delete_matrix(double** matrix) {
    if (!matrix) return;
    Header* h = header(matrix, Kind::Matrix);
    for (int r = 0; r < h->count; ++r)
        if (matrix[r]) release(static_cast<Header*>(static_cast<void*>(matrix[r])) - 1);
    release(h);
}

int matrix_rows(double** matrix) {
    return header(matrix, Kind::Matrix)->count;
}

int matrix_cols(double** matrix) {
    return header(matrix, Kind::Matrix)->cols;
}

double* matrix_row(double** matrix, int i) {
    return matrix[checkIndex(header(matrix, Kind::Matrix), i)];
}

double matrix_getitem(double** matrix, int i, int j) {
    return doubles_getitem(matrix_row(matrix, i), j);
}

void matrix_setitem(double** matrix, int i, int j, double value) {
    doubles_setitem(matrix_row(matrix, i), j, value);
}

char* new_chars(int n) {
    checkSize(n, "size");
    return static_cast<char*>(allocate(Kind::Chars, n, 0, static_cast<std::size_t>(n) + 1));
}

void delete_chars(char* buffer) {
    if (buffer) release(header(buffer, Kind::Chars));
}

int chars_size(char* buffer) {
    return header(buffer, Kind::Chars)->count;
}

int chars_getitem(char* buffer, int i) {
    return static_cast<unsigned char>(buffer[checkIndex(header(buffer, Kind::Chars), i)]);
}

void chars_setitem(char* buffer, int i, int value) {
    Header* h = header(buffer, Kind::Chars);
    if (value < 0 || value > 255) throw std::invalid_argument("a byte lies in 0..255");
    buffer[checkIndex(h, i)] = static_cast<char>(value);
}

} // namespace zelta_arrays
