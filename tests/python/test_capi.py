"""The four C functions through ctypes: on libveltrane.so and on the Python module itself,
from several Python threads at once (ctypes releases the interpreter lock during a call),
and the dynamic symbols each file exports."""

import ctypes
import json
import os
import pathlib
import shutil
import subprocess
import threading

import pytest

import veltrane._native as native

REPO = pathlib.Path(__file__).resolve().parents[2]
LIBRARY = pathlib.Path(os.environ.get("VELTRANE_LIB", REPO / "build" / "release" / "libveltrane.so"))
C_FUNCTIONS = ["alloc", "analyze", "dealloc", "result_len"]
EMPTY_RESULT = b'{"diagnostics":[],"items":[],"lines":1,"version":"26ai"}'


def load(path):
    """The library at `path` with every C function's argument and result types declared:
    ctypes would otherwise take and return C int, cutting pointers and sizes to 32 bits."""
    library = ctypes.CDLL(str(path))
    library.alloc.restype = ctypes.c_void_p
    library.alloc.argtypes = [ctypes.c_size_t]
    library.dealloc.restype = None
    library.dealloc.argtypes = [ctypes.c_void_p]
    library.analyze.restype = ctypes.c_void_p
    library.analyze.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.c_void_p, ctypes.c_size_t]
    library.result_len.restype = ctypes.c_size_t
    library.result_len.argtypes = []
    return library


def analyze(library, sql, options=b""):
    """One analysis; the inputs go through buffers from alloc, as a C host would pass them."""
    sql_buffer = library.alloc(len(sql))
    options_buffer = library.alloc(len(options))
    ctypes.memmove(sql_buffer, sql, len(sql))
    ctypes.memmove(options_buffer, options, len(options))
    result = library.analyze(sql_buffer, len(sql), options_buffer, len(options))
    library.dealloc(sql_buffer)
    library.dealloc(options_buffer)
    return ctypes.string_at(result, library.result_len())


def libraries():
    found = [pytest.param(pathlib.Path(native.__file__), id="module")]
    if LIBRARY.is_file():
        found.append(pytest.param(LIBRARY, id="libveltrane"))
    return found


@pytest.mark.parametrize("path", libraries())
def test_single_calls(path):
    library = load(path)
    assert analyze(library, b"") == EMPTY_RESULT
    assert library.result_len() == 56
    assert analyze(library, b"/\n") == (
        b'{"diagnostics":[],"items":[{"col":1,"command":"/","end":1,"kind":"SqlPlus","line":1,'
        b'"start":0}],"lines":2,"version":"26ai"}'
    )
    result = json.loads(analyze(library, "select '😀' x from dual;".encode(), b'{"version":"19c"}'))
    assert result["version"] == "19c"
    assert result["items"][0]["tables"] == ["DUAL"]


# A typed iterand's type is referenced as a declaration's type is.
ITERAND_CASES = [
    (b"declare type t_rec is record (a number); q varchar2(9);\n"
     b"begin for r t_rec in (execute immediate q) loop null; end loop; end;\n/\n",
     ("T_REC", "RECORD", "REFERENCE")),
    (b"declare cursor c is select 1 a from dual;\n"
     b"begin for r c%rowtype\n in c loop null; end loop; end;\n/\n",
     ("C", "CURSOR", "REFERENCE")),
    (b"declare type t is table of number index by pls_integer; x t;\n"
     b"begin for i t, j t in pairs of x loop x(i) := 0; end loop; end;\n/\n",
     ("J", "ITERATOR", "DECLARATION")),
]


@pytest.mark.parametrize("sql, record", ITERAND_CASES)
def test_typed_iterands_get_their_records(sql, record):
    result = json.loads(analyze(load(native.__file__), sql))
    names = [(n["name"], n["type"], n["usage"]) for n in result["items"][0]["names"] if n["line"] == 2]
    assert record in names


# A table whose CREATE holds a lexer error is not in the catalog that names are resolved
# with, as the catalog command and the report leave it out: its column is not found.
LEXER_ERROR_DDL_CASES = [
    (b'create table t (a number default x\n);\n', True),
    (b'create table t (a number default "x\n);\n', False),
]


@pytest.mark.parametrize("ddl, resolved", LEXER_ERROR_DDL_CASES)
def test_ddl_holding_a_lexer_error_adds_nothing_to_the_resolution_catalog(ddl, resolved):
    block = b"begin for r in (select a from t) loop null; end loop; end;\n/\n"
    result = json.loads(analyze(load(native.__file__), ddl + block))
    names = [(n["name"], n["type"]) for n in result["items"][1]["names"]]
    assert (("A", "COLUMN") in names) == resolved
    assert bool(result["diagnostics"]) != resolved


@pytest.mark.parametrize("path", libraries())
def test_threads_keep_their_own_results(path):
    library = load(path)
    failures = []
    start = threading.Barrier(6, timeout=60)

    def worker(number):
        try:
            start.wait()
            assert library.result_len() == 0
            for call in range(50):
                table = f"T{number}_{call}"
                result = json.loads(analyze(library, f"select 1 from {table};".encode()))
                assert result["items"][0]["tables"] == [table]
        except Exception as error:  # noqa: BLE001 - reported below
            failures.append(f"thread {number}: {error!r}")

    threads = [threading.Thread(target=worker, args=(n,)) for n in range(6)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=120)
        assert not thread.is_alive()
    assert failures == []


def exported_names(path):
    nm = shutil.which("nm")
    if nm is None:
        pytest.skip("nm is not installed")
    listing = subprocess.run(
        [nm, "-D", "--defined-only", str(path)], capture_output=True, text=True, check=True, timeout=60
    ).stdout
    return sorted(line.split()[-1] for line in listing.splitlines() if line.strip())


def test_module_exports_its_init_and_the_c_functions():
    assert exported_names(native.__file__) == sorted(["PyInit__native", *C_FUNCTIONS])


def test_library_exports_only_the_c_functions():
    if not LIBRARY.is_file():
        pytest.skip(f"{LIBRARY} is not built")
    assert exported_names(LIBRARY) == C_FUNCTIONS
