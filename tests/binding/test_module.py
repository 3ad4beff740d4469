"""The module object: definition, method table, dictionary, exports, type registry."""
import ctypes
import os
import subprocess
import sys

import _zelta
import zelta_arrays

from functable import FUNCTIONS

STANDARD_ATTRIBUTES = {"__name__", "__doc__", "__package__", "__loader__", "__spec__", "__file__"}


class PyMethodDef(ctypes.Structure):
    _fields_ = [("ml_name", ctypes.c_char_p), ("ml_meth", ctypes.c_void_p), ("ml_flags", ctypes.c_int),
                ("ml_doc", ctypes.c_char_p)]


class PyModuleDef(ctypes.Structure):
    _fields_ = [("ob_refcnt", ctypes.c_ssize_t), ("ob_type", ctypes.c_void_p), ("m_init", ctypes.c_void_p),
                ("m_index", ctypes.c_ssize_t), ("m_copy", ctypes.c_void_p), ("m_name", ctypes.c_char_p),
                ("m_doc", ctypes.c_char_p), ("m_size", ctypes.c_ssize_t),
                ("m_methods", ctypes.POINTER(PyMethodDef)), ("m_slots", ctypes.c_void_p),
                ("m_traverse", ctypes.c_void_p), ("m_clear", ctypes.c_void_p), ("m_free", ctypes.c_void_p)]


class SwigTypeInfo(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("str", ctypes.c_char_p), ("dcast", ctypes.c_void_p),
                ("cast", ctypes.c_void_p), ("clientdata", ctypes.c_void_p), ("owndata", ctypes.c_int)]


class SwigModuleInfo(ctypes.Structure):
    pass


SwigModuleInfo._fields_ = [("types", ctypes.POINTER(ctypes.POINTER(SwigTypeInfo))), ("size", ctypes.c_size_t),
                           ("next", ctypes.POINTER(SwigModuleInfo)), ("type_initial", ctypes.c_void_p),
                           ("cast_initial", ctypes.c_void_p), ("clientdata", ctypes.c_void_p)]


def module_def(module):
    get_def = ctypes.pythonapi.PyModule_GetDef
    get_def.restype = ctypes.POINTER(PyModuleDef)
    get_def.argtypes = [ctypes.py_object]
    return get_def(module).contents


def test_module_definition_record():
    d = module_def(_zelta)
    assert d.m_name == b"_zelta" and _zelta.__name__ == "_zelta"
    assert d.m_doc is None and _zelta.__doc__ is None
    assert d.m_size == -1
    assert not (d.m_slots or d.m_traverse or d.m_clear or d.m_free)


def test_method_table_order_flags_and_terminator():
    methods = module_def(_zelta).m_methods
    table = [(methods[i].ml_name.decode(), methods[i].ml_flags, methods[i].ml_doc) for i in range(len(FUNCTIONS))]
    assert table == [(f.python, f.flag, None) for f in FUNCTIONS]
    end = methods[len(FUNCTIONS)]
    assert (end.ml_name, end.ml_meth, end.ml_flags, end.ml_doc) == (None, None, 0, None)
    flags = [f.flag for f in FUNCTIONS]
    assert (flags.count(4), flags.count(8), flags.count(1)) == (16, 106, 143)


def test_dictionary_holds_the_functions_and_standard_attributes_only():
    names = set(vars(_zelta))
    functions = {f.python for f in FUNCTIONS}
    assert len(FUNCTIONS) == len(functions) == 265
    assert names - STANDARD_ATTRIBUTES == functions
    for name in functions:
        f = getattr(_zelta, name)
        assert callable(f) and type(f).__name__ == "builtin_function_or_method" and f.__name__ == name


def test_only_export_is_the_init_function():
    out = subprocess.run(["nm", "-D", "--defined-only", _zelta.__file__], capture_output=True, text=True,
                         check=True).stdout
    exported = [line.split()[-1] for line in out.splitlines() if line.split()[-2] in "TDBRVWiu"]
    assert exported == ["PyInit__zelta"]


def capsule_pointer(capsule, name):
    api = ctypes.pythonapi
    api.PyCapsule_GetName.restype = ctypes.c_char_p
    api.PyCapsule_GetName.argtypes = [ctypes.py_object]
    api.PyCapsule_GetPointer.restype = ctypes.c_void_p
    api.PyCapsule_GetPointer.argtypes = [ctypes.py_object, ctypes.c_char_p]
    assert api.PyCapsule_GetName(capsule) == name
    return api.PyCapsule_GetPointer(capsule, name)


def registered_modules():
    capsule = sys.modules["swig_runtime_data4"].type_pointer_capsule
    first = ctypes.cast(capsule_pointer(capsule, b"swig_runtime_data4.type_pointer_capsule"),
                        ctypes.POINTER(SwigModuleInfo))
    modules, m = [], first
    while True:
        info = m.contents
        modules.append({info.types[i].contents.name.decode(): ctypes.addressof(info.types[i].contents)
                        for i in range(info.size)})
        m = info.next
        if ctypes.addressof(m.contents) == ctypes.addressof(first.contents):
            return modules


def test_shared_registry_holds_both_modules_with_one_record_per_type():
    modules = registered_modules()
    ours = [m for m in modules if set(m) == {"_p_char", "_p_double", "_p_p_double"}]
    assert ours, modules
    companion = [m for m in modules if "_p_double" in m and m is not ours[0]]
    assert companion
    for name in ("_p_double", "_p_p_double", "_p_char"):
        assert ours[0][name] == companion[0][name]
    for address in ours[0].values():
        record = SwigTypeInfo.from_address(address)
        assert not record.clientdata and not record.dcast
    displayed = {SwigTypeInfo.from_address(a).name: SwigTypeInfo.from_address(a).str for a in ours[0].values()}
    assert displayed == {b"_p_char": b"char *", b"_p_double": b"double *", b"_p_p_double": b"double **"}


IMPORT_ORDER = """
import sys
{first}
{second}
import _zelta, zelta_arrays
x = zelta_arrays.new_doubles(2)
m = zelta_arrays.new_matrix(2, 2)
_zelta.xsfvd(1, 1, 300.0, 1e5, x, x, x, x, m)   # accepted: the records are shared
try:
    _zelta.xsfv(1, 1, 300.0, 1e5, m, None)
except TypeError as e:
    print(e)
print(type(sys.modules["swig_runtime_data4"].type_pointer_capsule).__name__)
"""


def test_either_import_order_shares_the_type_records():
    for first, second in (("import zelta_arrays", "import _zelta"), ("import _zelta", "import zelta_arrays")):
        out = subprocess.run([sys.executable, "-c", IMPORT_ORDER.format(first=first, second=second)],
                             capture_output=True, text=True, env=os.environ, check=True).stdout
        assert out == "in method 'xsfv', argument 5 of type 'double *'\nPyCapsule\n"
