/* The capacity registry shared by zelta_arrays and _zelta.
 *
 * zelta_arrays records every block it allocates (address, kind, element
 * count) in a process-wide, mutex-guarded table.  _zelta reads it through a
 * capsule that zelta_arrays stores in its module dictionary, so the two
 * extension modules share no C symbol and may be imported in either order:
 * _zelta looks the capsule up when it first meets a pointer argument, and
 * does without it (every pointer then counts as of unknown origin) while
 * zelta_arrays has not been imported.
 */
#ifndef ZELTA_BINDING_CAPACITY_REGISTRY_H
#define ZELTA_BINDING_CAPACITY_REGISTRY_H

/* Attribute of zelta_arrays holding the capsule, and the capsule's name. */
#define ZELTA_CAPACITY_ATTRIBUTE "_capacity_registry"
#define ZELTA_CAPACITY_CAPSULE "zelta_arrays._capacity_registry"
#define ZELTA_CAPACITY_VERSION 1

/* Kinds of registered blocks. */
enum ZeltaBlockKind {
    ZELTA_BLOCK_DOUBLES = 1,    /* double[count] */
    ZELTA_BLOCK_MATRIX_ROW = 2, /* double[count], a row of a matrix */
    ZELTA_BLOCK_MATRIX = 3,     /* double *[count], each row a double[cols] */
    ZELTA_BLOCK_CHARS = 4       /* char[count + 1], the last byte NUL */
};

struct ZeltaBlockInfo {
    int kind;
    int count;
    int cols;
};

struct ZeltaCapacityApi {
    int version; /* ZELTA_CAPACITY_VERSION */
    /* 1 and *info filled when address is a live block of zelta_arrays, else 0.
     * Thread-safe; needs no interpreter lock. */
    int (*lookup)(const void* address, struct ZeltaBlockInfo* info);
};

#endif
