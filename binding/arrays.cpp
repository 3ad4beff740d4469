#include "arrays.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>

namespace zelta_arrays {
namespace {

using Kind = ZeltaBlockKind;

const char* kindName(int kind) {
    switch (kind) {
    case ZELTA_BLOCK_DOUBLES:
    case ZELTA_BLOCK_MATRIX_ROW:
        return "double array";
    case ZELTA_BLOCK_MATRIX:
        return "matrix";
    case ZELTA_BLOCK_CHARS:
        return "byte buffer";
    }
    return "block";
}

// Every live block by address.  Created on first use and never destroyed,
// so blocks freed late in interpreter shutdown still find it.
class Registry {
  public:
    void add(const void* p, ZeltaBlockInfo info) {
        std::lock_guard lock(mutex_);
        blocks_[p] = info;
    }
    bool find(const void* p, ZeltaBlockInfo& info) const {
        std::lock_guard lock(mutex_);
        auto it = blocks_.find(p);
        if (it == blocks_.end()) return false;
        info = it->second;
        return true;
    }
    // Remove p if it is a live block of `kind`; false otherwise.
    bool remove(const void* p, int kind) {
        std::lock_guard lock(mutex_);
        auto it = blocks_.find(p);
        if (it == blocks_.end() || it->second.kind != kind) return false;
        blocks_.erase(it);
        return true;
    }

  private:
    mutable std::mutex mutex_;
    std::unordered_map<const void*, ZeltaBlockInfo> blocks_;
};

Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

void* allocate(Kind kind, int count, int cols, std::size_t payload) {
    void* p = std::calloc(1, payload ? payload : 1);
    if (!p) throw std::bad_alloc();
    try {
        registry().add(p, ZeltaBlockInfo{kind, count, cols});
    } catch (...) {
        std::free(p);
        throw;
    }
    return p;
}

[[noreturn]] void notLive(Kind kind) {
    throw std::invalid_argument(std::string("pointer is not a live ") + kindName(kind) + " of this module");
}

ZeltaBlockInfo info(const void* p, Kind kind, bool allowRow = false) {
    if (!p)
        throw std::invalid_argument(std::string("null pointer where a ") + kindName(kind) + " was expected");
    ZeltaBlockInfo i{};
    if (!registry().find(p, i) || !(i.kind == kind || (allowRow && i.kind == ZELTA_BLOCK_MATRIX_ROW)))
        notLive(kind);
    return i;
}

void release(void* p, Kind kind) {
    if (!registry().remove(p, kind)) notLive(kind);
    std::free(p);
}

void checkSize(int n, const char* what) {
    if (n < 0) throw std::invalid_argument(std::string(what) + " must not be negative");
}

int checkIndex(const ZeltaBlockInfo& b, int i) {
    if (i < 0 || i >= b.count)
        throw std::out_of_range("index " + std::to_string(i) + " out of range 0.." +
                                std::to_string(b.count - 1));
    return i;
}

int lookup(const void* address, ZeltaBlockInfo* out) {
    try {
        ZeltaBlockInfo i{};
        if (!address || !out || !registry().find(address, i)) return 0;
        *out = i;
        return 1;
    } catch (...) {
        return 0;
    }
}

} // namespace

const ZeltaCapacityApi* capacity_api() {
    static const ZeltaCapacityApi api{ZELTA_CAPACITY_VERSION, &lookup};
    return &api;
}

double* new_doubles(int n) {
    checkSize(n, "size");
    return static_cast<double*>(
        allocate(ZELTA_BLOCK_DOUBLES, n, 0, sizeof(double) * static_cast<std::size_t>(n)));
}

void delete_doubles(double* array) {
    if (!array) return;
    if (info(array, ZELTA_BLOCK_DOUBLES, true).kind == ZELTA_BLOCK_MATRIX_ROW)
        throw std::invalid_argument("a matrix row is freed with its matrix");
    release(array, ZELTA_BLOCK_DOUBLES);
}

int doubles_size(double* array) {
    return info(array, ZELTA_BLOCK_DOUBLES, true).count;
}

double doubles_getitem(double* array, int i) {
    return array[checkIndex(info(array, ZELTA_BLOCK_DOUBLES, true), i)];
}

void doubles_setitem(double* array, int i, double value) {
    array[checkIndex(info(array, ZELTA_BLOCK_DOUBLES, true), i)] = value;
}

double** new_matrix(int rows, int cols) {
    checkSize(rows, "row count");
    checkSize(cols, "column count");
    auto** matrix = static_cast<double**>(
        allocate(ZELTA_BLOCK_MATRIX, rows, cols, sizeof(double*) * static_cast<std::size_t>(rows)));
    try {
        for (int r = 0; r < rows; ++r)
            matrix[r] = static_cast<double*>(
                allocate(ZELTA_BLOCK_MATRIX_ROW, cols, 0, sizeof(double) * static_cast<std::size_t>(cols)));
    } catch (...) {
        delete_matrix(matrix);
        throw;
    }
    return matrix;
}

void delete_matrix(double** matrix) {
    if (!matrix) return;
    const int rows = info(matrix, ZELTA_BLOCK_MATRIX).count;
    for (int r = 0; r < rows; ++r)
        if (matrix[r]) release(matrix[r], ZELTA_BLOCK_MATRIX_ROW);
    release(matrix, ZELTA_BLOCK_MATRIX);
}

int matrix_rows(double** matrix) {
    return info(matrix, ZELTA_BLOCK_MATRIX).count;
}

int matrix_cols(double** matrix) {
    return info(matrix, ZELTA_BLOCK_MATRIX).cols;
}

double* matrix_row(double** matrix, int i) {
    return matrix[checkIndex(info(matrix, ZELTA_BLOCK_MATRIX), i)];
}

double matrix_getitem(double** matrix, int i, int j) {
    return doubles_getitem(matrix_row(matrix, i), j);
}

void matrix_setitem(double** matrix, int i, int j, double value) {
    doubles_setitem(matrix_row(matrix, i), j, value);
}

char* new_chars(int n) {
    checkSize(n, "size");
    return static_cast<char*>(allocate(ZELTA_BLOCK_CHARS, n, 0, static_cast<std::size_t>(n) + 1));
}

void delete_chars(char* buffer) {
    if (buffer) release(buffer, ZELTA_BLOCK_CHARS);
}

int chars_size(char* buffer) {
    return info(buffer, ZELTA_BLOCK_CHARS).count;
}

int chars_getitem(char* buffer, int i) {
    return static_cast<unsigned char>(buffer[checkIndex(info(buffer, ZELTA_BLOCK_CHARS), i)]);
}

void chars_setitem(char* buffer, int i, int value) {
    const ZeltaBlockInfo b = info(buffer, ZELTA_BLOCK_CHARS);
    if (value < 0 || value > 255) throw std::invalid_argument("a byte lies in 0..255");
    buffer[checkIndex(b, i)] = static_cast<char>(value);
}

} // namespace zelta_arrays
