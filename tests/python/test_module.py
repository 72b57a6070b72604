"""The installed module `veltrane._native`: its surface, argument errors, the tokenize, split
and parse results, `cli` through file descriptors 1 and 2, the interpreter lock, the stable
ABI under other interpreters and PanicException."""

import inspect
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import sysconfig
import textwrap
import threading

import pytest
from corpus_scripts import corpus_files
from unterminated_scripts import UNTERMINATED, listed

import veltrane
import veltrane._native as native

REPO = pathlib.Path(__file__).resolve().parents[2]
TIMEOUT = 300
NAMES = ["tokenize", "split", "parse", "cli", "version"]
NOT_A_VERSION = " is not an Oracle version (12.2, 19c, 21c, 23ai, 26ai...)"
USAGE_WITHOUT_SERVE = (
    "usage: veltrane lex [--dump] [--strict] PATH...\n"
    "       veltrane split [--dump | --summary] [--strict] PATH...\n"
    "       veltrane parse [--dump] [--errors] [--json] [--version V] [--strict] PATH...\n"
    "       veltrane catalog [--schema S] PATH...\n"
    "       veltrane report [--out DIR] [--format html,csv,json] [--version V] [--title T]"
    " [--fail-on-errors] PATH...\n"
    "       veltrane lab [--port N] [--no-open]      the parser in your browser (Veltrane Lab)\n"
    "       veltrane --version\n"
)


# Module surface


def test_module_surface():
    assert native.__all__ == NAMES
    assert veltrane.__all__ == NAMES
    assert native.__doc__ == ""
    assert native.__name__ == "veltrane._native"
    assert native.version() == "0.1.5"
    assert native.version.__text_signature__ == "()"
    assert native.version.__doc__ is None
    for name in NAMES:
        function = getattr(native, name)
        assert function.__module__ == "veltrane._native"
        assert function.__self__ is native
        assert getattr(veltrane, name) is function
    assert native.tokenize.__text_signature__ == "(text)"
    assert native.cli.__text_signature__ == "(args)"
    assert str(inspect.signature(native.parse)) == "(text, version=None, tree=False)"


def test_docstrings():
    assert native.tokenize.__doc__ == (
        "Every token, trivia included (the lexer is lossless): `[{kind, text, line, col}]`."
    )
    assert native.split.__doc__ == (
        "The script split the way SQL*Plus runs it: `[{kind, text, line, col, command}]`, kind"
        " `sql`, `plsql` or\n`sqlplus` (a client command such as SET, PROMPT, @file; `command`"
        " names it)."
    )
    assert native.parse.__doc__.split("\n") == [
        "Every SQL statement and PL/SQL unit parsed: `[{kind, statement, line, col, text, errors,"
        " warnings, tables,",
        "tree?}]`. `statement` is the parsed kind (`SelectStmt`, `CreatePackageBody`...); errors"
        " and warnings are",
        "`{line, col, message}`; `tables` the tables and views the statement names; with `tree`,"
        " the syntax tree as text.",
    ]
    assert native.cli.__doc__ == (
        "The `veltrane` command line (lex, split, parse, catalog, report, lab and --version;\n"
        "not serve); returns the exit status."
    )


def test_reimport_gives_the_same_module():
    del sys.modules["veltrane._native"]
    try:
        import importlib

        again = importlib.import_module("veltrane._native")
        assert again is native
    finally:
        sys.modules["veltrane._native"] = native


# Argument errors


class Text(str):
    pass


class FailingSequence:
    """Passes the sequence check, then fails while it is iterated."""

    def __init__(self, error):
        self.error = error

    def __len__(self):
        raise RuntimeError("no length")

    def __getitem__(self, index):
        raise self.error


class BrokenName(type):
    def __getattribute__(cls, name):
        if name == "__qualname__":
            raise RuntimeError("no name")
        return super().__getattribute__(name)


class Nameless(metaclass=BrokenName):
    pass


FakeNumpyBool = type("bool_", (), {"__module__": "numpy", "__bool__": lambda self: True})

TYPE_ERRORS = [
    ("missing", lambda: native.tokenize(), "tokenize() missing 1 required positional argument: 'text'"),
    ("missing args", lambda: native.cli(), "cli() missing 1 required positional argument: 'args'"),
    ("missing text of parse", lambda: native.parse(tree=True),
     "parse() missing 1 required positional argument: 'text'"),
    ("two positional", lambda: native.tokenize("a", "b"),
     "tokenize() takes 1 positional arguments but 2 were given"),
    ("cli positional", lambda: native.cli([], []), "cli() takes 1 positional arguments but 2 were given"),
    ("four positional", lambda: native.parse("a", "b", "c", "d"),
     "parse() takes from 1 to 3 positional arguments but 4 were given"),
    ("multiple values", lambda: native.split("a", text="b"),
     "split() got multiple values for argument 'text'"),
    ("multiple tree", lambda: native.parse("a", None, True, tree=True),
     "parse() got multiple values for argument 'tree'"),
    ("unexpected keyword", lambda: native.tokenize("a", txt=1),
     "tokenize() got an unexpected keyword argument 'txt'"),
    ("bytes text", lambda: native.tokenize(b""),
     "argument 'text': 'bytes' object cannot be converted to 'PyString'"),
    ("text by keyword converted first", lambda: native.parse(tree=None, text=5),
     "argument 'text': 'int' object cannot be converted to 'PyString'"),
    ("version not str", lambda: native.parse("x", version=19),
     "argument 'version': 'int' object cannot be converted to 'PyString'"),
    ("tree None", lambda: native.parse("x", tree=None),
     "argument 'tree': 'NoneType' object cannot be converted to 'PyBool'"),
    ("tree int", lambda: native.parse("x", tree=1),
     "argument 'tree': 'int' object cannot be converted to 'PyBool'"),
    ("tree before bad version", lambda: native.parse("x", version="abc", tree=None),
     "argument 'tree': 'NoneType' object cannot be converted to 'PyBool'"),
    ("args str", lambda: native.cli("lex"), "argument 'args': Can't extract `str` to `Vec`"),
    ("args element", lambda: native.cli(["lex", 5]),
     "argument 'args': 'int' object cannot be converted to 'PyString'"),
    ("args bytes", lambda: native.cli(b"lex"),
     "argument 'args': 'int' object cannot be converted to 'PyString'"),
    ("args dict", lambda: native.cli({"lex": 1}),
     "argument 'args': 'dict' object cannot be converted to 'Sequence'"),
    ("args set", lambda: native.cli({"lex"}),
     "argument 'args': 'set' object cannot be converted to 'Sequence'"),
    ("args generator", lambda: native.cli(x for x in ["lex"]),
     "argument 'args': 'generator' object cannot be converted to 'Sequence'"),
    ("iteration TypeError", lambda: native.cli(FailingSequence(TypeError("bad item"))),
     "argument 'args': bad item"),
    ("unreadable type name", lambda: native.tokenize(Nameless()),
     "argument 'text': '<failed to extract type name>' object cannot be converted to 'PyString'"),
]


@pytest.mark.parametrize("call,message", [c[1:] for c in TYPE_ERRORS], ids=[c[0] for c in TYPE_ERRORS])
def test_type_errors(call, message):
    with pytest.raises(TypeError) as caught:
        call()
    assert type(caught.value) is TypeError
    assert str(caught.value) == message


def test_prefixed_error_keeps_the_first_errors_cause():
    cause = ValueError("root")
    first = TypeError("bad item")
    first.__cause__ = cause
    with pytest.raises(TypeError) as caught:
        native.cli(FailingSequence(first))
    assert str(caught.value) == "argument 'args': bad item"
    assert caught.value is not first
    assert caught.value.__cause__ is cause


def test_other_errors_pass_unchanged():
    with pytest.raises(RuntimeError, match="^iteration$"):
        native.cli(FailingSequence(RuntimeError("iteration")))
    with pytest.raises(UnicodeEncodeError):
        native.tokenize("a\ud800")
    with pytest.raises(UnicodeEncodeError):
        native.cli(["lex", "\udcff"])
    with pytest.raises(TypeError):
        native.version(1)


def test_version_errors():
    for version, shown in [("abc", '"abc"'), ('a"b', '"a\\"b"'), ("a\\b", '"a\\\\b"'), ("x\ty", '"x\\ty"')]:
        with pytest.raises(ValueError) as caught:
            native.parse("select 1 from dual;", version=version)
        assert str(caught.value) == shown + NOT_A_VERSION


def test_accepted_argument_forms():
    expected = native.parse("select 1 from dual;")
    assert native.parse(Text("select 1 from dual;")) == expected
    assert native.parse("select 1 from dual;", None) == expected
    assert native.parse("select 1 from dual;", version=None, tree=False) == expected
    assert native.parse(text="select 1 from dual;", version=Text("26ai")) == expected
    assert "tree" in json.loads(native.parse("select 1 from dual;", tree=FakeNumpyBool()))[0]
    assert native.tokenize(text="x") == native.tokenize("x")
    assert native.split(Text("x;")) == native.split("x;")


# Bodies


def test_split_results():
    assert json.loads(native.split("select 1 from dual;")) == [
        {"col": 1, "command": None, "kind": "sql", "line": 1, "text": "select 1 from dual"}
    ]
    assert native.split("SET SERVEROUTPUT ON") == (
        '[{"col":1,"command":"SET","kind":"sqlplus","line":1,"text":"SET SERVEROUTPUT ON"}]'
    )
    # The "/" line ends the block and is not an item of its own.
    items = json.loads(native.split("prompt x\r\nbegin null; end;\n/\n  select 'é' x from t;"))
    assert [(i["kind"], i["command"], i["line"], i["col"]) for i in items] == [
        ("sqlplus", "PROMPT", 1, 1),
        ("plsql", None, 2, 1),
        ("sql", None, 4, 3),
    ]
    assert [i["text"] for i in items[1:]] == ["begin null; end;", "select 'é' x from t"]


def test_tokenize_results():
    assert json.loads(native.tokenize("é x"))[-1] == {"col": 3, "kind": "Ident", "line": 1, "text": "x"}
    last = json.loads(native.tokenize("a\r\nb"))[-1]
    assert (last["line"], last["col"]) == (2, 1)
    kinds = {t["kind"] for t in json.loads(native.tokenize("  -- c\n/* b */ \n"))}
    assert kinds == {"Whitespace", "LineComment", "BlockComment"}
    # The lexer alone: a "-" at a line end stays a Minus, a directive stays a CondDirective.
    kinds = [t["kind"] for t in json.loads(native.tokenize("x -\n$if"))]
    assert kinds == ["Ident", "Whitespace", "Minus", "Whitespace", "CondDirective"]
    assert native.tokenize("'a\tb\"c\\d'\x01") == (
        '[{"col":1,"kind":"String","line":1,"text":"\'a\\tb\\"c\\\\d\'"},'
        '{"col":10,"kind":"Unknown","line":1,"text":"\\u0001"}]'
    )


def test_empty_results():
    for function in (native.tokenize, native.split, native.parse):
        assert function("") == "[]"
    assert native.parse("SET ECHO ON\nPROMPT hi\n") == "[]"


def test_parse_results():
    assert native.parse("select 1 from dual;") == (
        '[{"col":1,"errors":[],"kind":"sql","line":1,"statement":"SelectStmt","tables":["DUAL"],'
        '"text":"select 1 from dual","warnings":[]}]'
    )
    [record] = json.loads(native.parse("select 1 from dual;", tree=True))
    assert record["tree"].startswith("SelectStmt\n  Query\n")
    assert record["tree"].endswith('            Ident "dual"\n')
    records = json.loads(native.parse("create package body p is end;\n/\n\nupdate t\n  set = 1;"))
    assert [(r["kind"], r["statement"], r["line"]) for r in records] == [
        ("plsql", "CreatePackageBody", 1),
        ("sql", "UpdateStmt", 4),
    ]
    assert records[1]["tables"] == ["T"]
    # Positions are those of the whole text, not of the item.
    assert [(e["line"], e["col"]) for e in records[1]["errors"]][0] == (5, 7)


def test_parse_versions():
    query = "select * from t fetch first 1 rows only;"
    for version in ["12.2", "19c", "21c", "23ai", "26ai", "26", "12.1"]:
        assert json.loads(native.parse(query, version=version))[0]["warnings"] == []
    [record] = json.loads(native.parse(query, version="11.2"))
    assert record["warnings"] == [
        {"col": 17, "line": 1, "message": "FETCH FIRST / OFFSET needs Oracle 12.1 or later"}
    ]
    assert record["errors"] == []


def test_parse_takes_no_flags_and_keeps_only_the_lexer_errors_an_item_holds():
    [unit] = json.loads(
        native.parse("begin\n$if $$debug $then\n  broken syntax here;\n$end\nnull;\nend;\n/\n")
    )
    assert unit["errors"] == []
    [statement] = json.loads(native.parse("select 1 \u00a7 q' x"))
    assert [d["message"] for d in statement["errors"]][:2] == ["unterminated string", "unexpected tokens after the statement"]


@pytest.mark.parametrize("name", UNTERMINATED)
def test_parse_lists_the_lexer_error_an_item_holds(name):
    assert listed(json.loads(native.parse(UNTERMINATED[name][0]))) == UNTERMINATED[name][1]


def test_tokenize_round_trip_over_the_corpus():
    files = corpus_files()
    assert files
    for path in files:
        text = path.read_bytes().decode("utf-8", "replace")
        tokens = json.loads(native.tokenize(text))
        assert "".join(t["text"] for t in tokens) == text, path


def test_text_of_2_gib_is_refused():
    available = 0
    with open("/proc/meminfo", encoding="ascii") as meminfo:
        for line in meminfo:
            if line.startswith("MemAvailable:"):
                available = int(line.split()[1]) * 1024
    if available < 8 * 2**30:
        pytest.skip("needs 8 GiB of free memory")
    text = "x" * 2**31
    for function in (native.tokenize, native.split, native.parse):
        with pytest.raises(ValueError, match=r"^text too large \(2 GiB or more\)$"):
            function(text)
    del text


# cli


@pytest.mark.parametrize("args", [[], ["serve"], ["LEX"], ["lex "], ("serve", "--port", "1")])
def test_cli_usage(capfd, args):
    assert native.cli(args) == 2
    out, err = capfd.readouterr()
    assert (out, err) == ("", USAGE_WITHOUT_SERVE)


@pytest.mark.parametrize("args", [("--version",), ["version", "x"]])
def test_cli_version(capfd, args):
    assert native.cli(args) == 0
    assert capfd.readouterr() == ("veltrane 0.1.5\n", "")


def test_cli_lex_of_a_missing_file(capfd, tmp_path):
    missing = str(tmp_path / "nope.sql")
    assert native.cli(["lex", missing]) == 1
    out, err = capfd.readouterr()
    assert out == ""
    assert err == (
        f"{missing}: No such file or directory (os error 2)\n"
        "0 files, 0 lines, 0.0 MB, 0 tokens, 0 diagnostics, 0 not UTF-8 (read lossy)\n"
        "lexed in 0.0 ms: 0 MB/s, 0.0 M lines/s\n"
    )


@pytest.mark.parametrize("command", ["lex", "split", "parse"])
def test_cli_path_holding_nul(capfd, command):
    assert native.cli([command, "x.sql\0junk"]) == 1
    out, err = capfd.readouterr()
    assert out == ""
    assert err.startswith("x.sql\ufffdjunk: path contains a NUL byte\n")


class LyingLength:
    """A sequence whose length hint is far beyond what it holds."""

    def __init__(self, items, length):
        self.items, self.length = items, length

    def __len__(self):
        return self.length

    def __getitem__(self, index):
        return self.items[index]


@pytest.mark.parametrize("length", [2**62, 2**31, 0, 1])
def test_cli_trusts_no_length_hint(capfd, length):
    assert native.cli(LyingLength(["--version"], length)) == 0
    assert capfd.readouterr() == ("veltrane 0.1.5\n", "")


def test_version_has_one_source():
    cmake_lists = (REPO / "CMakeLists.txt").read_text(encoding="utf-8")
    declared = re.search(r"^project\(veltrane VERSION ([0-9.]+)", cmake_lists, re.MULTILINE)
    assert declared is not None
    assert native.version() == declared.group(1)
    pyproject = (REPO / "pyproject.toml").read_text(encoding="utf-8").splitlines()
    assert 'dynamic = ["version"]' in pyproject
    assert not any(line.startswith("version") for line in pyproject)


def test_cli_parse_json(capfd, tmp_path):
    path = tmp_path / "f.sql"
    path.write_text("select 1 from dual;\n", encoding="utf-8")
    assert native.cli(["parse", "--json", str(path)]) == 0
    out, err = capfd.readouterr()
    assert json.loads(out) == {
        "file": str(path), "start": 0, "kind": "SelectStmt", "errors": 0, "tables": ["DUAL"],
        "text": "select 1 from dual",
    }
    assert err.startswith("1 files, 1 SQL statements, 0.0 MB\n")


# The child of the lock test: fd 1 is a pipe that only a Python thread of this process
# drains. `cli` writes far more than a pipe holds, so it finishes only if that thread runs
# while `cli` works; were the lock held, both would wait for ever.
LOCK_CHILD = textwrap.dedent(
    """
    import os, sys, threading
    import veltrane._native as native
    path = sys.argv[1]
    read_end, write_end = os.pipe()
    saved = os.dup(1)
    os.dup2(write_end, 1)
    os.close(write_end)
    received = []
    def drain():
        while True:
            chunk = os.read(read_end, 65536)
            if not chunk:
                return
            received.append(len(chunk))
    reader = threading.Thread(target=drain)
    reader.start()
    status = native.cli(["lex", "--dump", path])
    os.dup2(saved, 1)
    reader.join()
    print(status, len(received), sum(received))
    """
)


def test_cli_lets_other_threads_run(tmp_path):
    path = tmp_path / "big.sql"
    path.write_text("select a, b, c from t where x = 1;\n" * 20000, encoding="utf-8")
    done = subprocess.run(
        [sys.executable, "-c", LOCK_CHILD, str(path)],
        capture_output=True, timeout=TIMEOUT, check=True, text=True,
    )
    status, chunks, size = map(int, done.stdout.split())
    assert status == 0
    assert chunks > 1 and size > 20000 * 100


def test_concurrent_cli_calls(tmp_path):
    path = tmp_path / "a.sql"
    path.write_text("select 1 from dual;\n" * 1000, encoding="utf-8")
    missing = str(tmp_path / "nope.sql")
    results = {}

    def run(key, args):
        results[key] = native.cli(args)

    threads = [
        threading.Thread(target=run, args=(i, ["parse", str(path)] if i % 2 else ["lex", missing]))
        for i in range(8)
    ]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == {i: 0 if i % 2 else 1 for i in range(8)}


# The stable ABI: the one .abi3.so imports under the other interpreters of the machine.


def other_interpreters():
    found = []
    for pattern in ("3.10*", "3.13*"):
        found += sorted(pathlib.Path("/root/.pyenv/versions").glob(pattern))
    return [p / "bin" / "python3" for p in found if (p / "bin" / "python3").exists()]


@pytest.mark.parametrize("minor", ["3.10", "3.13"])
def test_other_interpreters_import_the_module(tmp_path, minor):
    interpreters = [p for p in other_interpreters() if p.parent.parent.name.startswith(minor)]
    if not interpreters:
        pytest.skip(f"no Python {minor} interpreter")
    package = tmp_path / "veltrane"
    shutil.copytree(pathlib.Path(veltrane.__file__).parent, package)
    code = (
        "import json, veltrane as v; r = json.loads(v.parse('select 1 from t;'));"
        " print(v.version(), r[0]['tables'], v.cli(['--version']))"
    )
    done = subprocess.run(
        [str(interpreters[0]), "-c", code],
        capture_output=True, timeout=TIMEOUT, check=True, text=True,
        env={**os.environ, "PYTHONPATH": str(tmp_path)},
    )
    assert done.stdout == "veltrane 0.1.5\n0.1.5 ['T'] 0\n"


# PanicException. No input reaches a broken invariant, so a test build of the module adds
# `_panic(kind)`, which throws inside the same boundary as the five functions.

PROBE_CHILD = textwrap.dedent(
    """
    import veltrane._native as native
    def outcome(kind):
        try:
            try:
                native._panic(kind)
            except Exception as error:
                return "Exception " + type(error).__name__
        except BaseException as error:
            kind = type(error)
            return f"{kind.__module__}.{kind.__name__}({error.args[0] if error.args else ''})"
        return "returned"
    for kind in ["stop", "empty", "range", "alloc", "json", "unlocked", "none"]:
        print(outcome(kind))
    print(native.version(), "_panic" in native.__all__)
    """
)


def probe_build():
    """A build folder with the static libraries and the generated headers: its libraries and
    its folder of generated headers. VELTRANE_PROBE_BUILD names one to use first."""
    candidates = [REPO / "build" / "python", REPO / "build" / "release"]
    if os.environ.get("VELTRANE_PROBE_BUILD"):
        candidates.insert(0, pathlib.Path(os.environ["VELTRANE_PROBE_BUILD"]))
    for build in candidates:
        generated = build / "generated"
        libraries = sorted(build.glob("libveltrane_*.a"))
        if (build / "libveltrane_cli.a").exists() and (generated / "syntax" / "version.hpp").exists():
            return libraries, generated
    return None, None


def test_panic_exception(tmp_path):
    libraries, generated = probe_build()
    compiler = shutil.which("g++")
    if libraries is None or compiler is None:
        pytest.skip("needs g++ and the static libraries of a build")
    package = tmp_path / "veltrane"
    package.mkdir()
    (package / "__init__.py").write_text("")
    subprocess.run(
        [compiler, "-std=c++20", "-O0", "-fPIC", "-shared", "-fvisibility=hidden",
         "-DPy_LIMITED_API=0x030A0000", "-DVELTRANE_PYTHON_PANIC_PROBE",
         f"-I{REPO / 'src'}", f"-I{generated}", f"-I{sysconfig.get_paths()['include']}",
         str(REPO / "src" / "python" / "module.cpp"), "-o", str(package / "_native.abi3.so"),
         "-Wl,--start-group", *map(str, libraries), "-Wl,--end-group", "-licuuc",
         *(["-lzip"] if any(library.name == "libveltrane_report.a" for library in libraries)
           else [])],
        check=True, timeout=TIMEOUT,
    )
    done = subprocess.run(
        [sys.executable, "-c", PROBE_CHILD], capture_output=True, timeout=TIMEOUT, check=True,
        text=True, env={**os.environ, "PYTHONPATH": str(tmp_path)}, cwd=tmp_path,
    )
    lines = done.stdout.splitlines()
    assert lines[0] == "veltrane._native.PanicException(checkpoint is stale)"
    assert lines[1] == "veltrane._native.PanicException(internal error without a message)"
    assert lines[2].startswith("veltrane._native.PanicException(")
    assert lines[3] == "Exception MemoryError"
    assert lines[4].startswith("veltrane._native.PanicException([json.exception.type_error.316]")
    assert lines[5] == "veltrane._native.PanicException(stop without the lock)"
    assert lines[6:] == ["returned", "0.1.5 False"]
