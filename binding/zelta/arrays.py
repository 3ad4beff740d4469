"""Owned native arrays built on the zelta_arrays companion module.

Each object owns one native block and frees it when closed, when its `with`
block ends or when it is garbage collected.  Its pointer object is exposed as
the attribute `this`, which is where SWIG wrappers look for a pointer, so the
object itself can be passed to _zelta:

    x = DoubleArray([0.6, 0.4])
    _zelta.xsfv(1, 1, 300.0, 1e5, x, f)
"""
import zelta_arrays as _za


class _Owned:
    _delete = None

    def __init__(self, pointer):
        self.this = pointer

    def close(self):
        """Free the native block (idempotent); the object is unusable afterwards."""
        pointer, self.this = self.this, None
        if pointer is not None:
            type(self)._delete(pointer)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:  # interpreter shutdown: the module may be gone
            pass

    def _pointer(self):
        if self.this is None:
            raise ValueError("%s is closed" % type(self).__name__)
        return self.this


class DoubleArray(_Owned):
    """A zero-filled native double[n] (`DoubleArray(3)`) or a copy of a sequence."""

    _delete = staticmethod(_za.delete_doubles)

    def __init__(self, size_or_values):
        values = None
        if not isinstance(size_or_values, int):
            values = [float(v) for v in size_or_values]
            size_or_values = len(values)
        super().__init__(_za.new_doubles(size_or_values))
        if values:
            self[:] = values

    def __len__(self):
        return _za.doubles_size(self._pointer())

    def __getitem__(self, i):
        if isinstance(i, slice):
            return [self[j] for j in range(*i.indices(len(self)))]
        return _za.doubles_getitem(self._pointer(), i + len(self) if i < 0 else i)

    def __setitem__(self, i, value):
        if isinstance(i, slice):
            indices = range(*i.indices(len(self)))
            values = list(value)
            if len(values) != len(indices):
                raise ValueError("slice assignment cannot change the array size")
            for j, v in zip(indices, values):
                _za.doubles_setitem(self.this, j, float(v))
            return
        _za.doubles_setitem(self._pointer(), i + len(self) if i < 0 else i, float(value))

    def tolist(self):
        return self[:]

    def __repr__(self):
        return "DoubleArray(%r)" % (self.tolist() if self.this is not None else "closed")


class Matrix(_Owned):
    """A native rows x cols matrix given as an array of row pointers (double **)."""

    _delete = staticmethod(_za.delete_matrix)

    def __init__(self, rows, cols=None):
        super().__init__(_za.new_matrix(rows, rows if cols is None else cols))

    @property
    def shape(self):
        p = self._pointer()
        return _za.matrix_rows(p), _za.matrix_cols(p)

    def __getitem__(self, ij):
        i, j = ij
        return _za.matrix_getitem(self._pointer(), i, j)

    def __setitem__(self, ij, value):
        i, j = ij
        _za.matrix_setitem(self._pointer(), i, j, float(value))

    def tolist(self):
        rows, cols = self.shape
        return [[self[i, j] for j in range(cols)] for i in range(rows)]

    def __repr__(self):
        return "Matrix(%r)" % (self.tolist() if self.this is not None else "closed")


class Buffer(_Owned):
    """Native bytes with a terminating NUL, passed as a char * text argument.

    Texts given as str are encoded strictly as UTF-8 by _zelta; a Buffer hands
    the library arbitrary bytes (for example names in a legacy encoding).
    """

    _delete = staticmethod(_za.delete_chars)

    def __init__(self, data):
        data = bytes(data)
        super().__init__(_za.new_chars(len(data)))
        for i, b in enumerate(data):
            _za.chars_setitem(self.this, i, b)

    def __len__(self):
        return _za.chars_size(self._pointer())

    def tobytes(self):
        p = self._pointer()
        return bytes(_za.chars_getitem(p, i) for i in range(_za.chars_size(p)))
