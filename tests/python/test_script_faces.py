"""Whole scripts read the same way on every face: a byte-order mark, a file in UTF-16, text
that SQL*Plus sends unread, a lexer error between statements and a statement with a lexer
error in the catalog. Each case is checked on the command line (parse, catalog, report),
the Python module's parse and the Lab's /api/parse."""

import csv
import io
import json

import pytest
from test_server import lab, request
from unterminated_scripts import listed

from test_cli import run

BOM = b"\xef\xbb\xbf"
UTF16_ERROR = (1, 1, "UTF-16 text: veltrane reads UTF-8")

# name: (file bytes, items as (statement, [(line, col, message)]), errors of the file,
#        catalog objects as (type, name))
CASES = {
    "byte-order mark": (
        BOM + b"create or replace package p is\nprocedure a;\nprocedure b;\nend;\n/\n",
        [("CreatePackage", [])],
        [],
        [("PACKAGE", "P")],
    ),
    "UTF-16 little-endian": ("select 1 from dual;\n".encode("utf-16"), [], [UTF16_ERROR], []),
    "UTF-16 big-endian": (b"\xfe\xff" + "create table t (a number);\n".encode("utf-16-be"), [], [UTF16_ERROR], []),
    "java source": (
        b'create or replace and compile java source named "A" as\npublic class A {\n'
        b"  // it's here\n  public static int f() { return 1; }\n}\n/\nselect 1 from dual;\n",
        [("OtherStmt", []), ("SelectStmt", [])],
        [],
        [],
    ),
    "older wrapped unit": (
        b"create or replace package p wrapped\na\n3 X'Y:\n/\ncreate or replace package q wrapped\nb\n/\n",
        [("CreatePackage", []), ("CreatePackage", [])],
        [],
        [("PACKAGE", "P"), ("PACKAGE", "Q")],
    ),
    "module closed later": (
        b"create or replace mle module m language javascript as\n// don't\nexport function f() { return 1; }\n"
        b"/\ndrop table hr.important;\ngrant dba to public;\n-- that's all\n",
        [("OtherStmt", []), ("DropStmt", []), ("GrantStmt", [])],
        [],
        [],
    ),
    "comment between statements": (
        b"select 1 from dual;\n/* header\nselect 2 from dual;\n",
        [("SelectStmt", [])],
        [(2, 1, "unterminated comment")],
        [],
    ),
    "comment before every statement": (
        b"/* header\nselect 1 from dual;\n",
        [],
        [(1, 1, "unterminated comment")],
        [],
    ),
    "comment after a unit": (
        b"create procedure p is begin null; end;\n/\n/* trailing\n",
        [("CreateProcedure", [])],
        [(3, 1, "unterminated comment")],
        [("PROCEDURE", "P")],
    ),
    "comment in the statement": (
        b"create table t (a number) /* note ;\n",
        [("CreateTable", [(1, 27, "unterminated comment")])],
        [],
        [],
    ),
}
TEXT_CASES = [name for name, case in CASES.items() if UTF16_ERROR not in case[2]]


def has_errors(case):
    _, items, file_errors, _ = case
    return bool(file_errors) or any(errors for _, errors in items)


@pytest.mark.parametrize("name", CASES)
def test_parse_command(tmp_path, name):
    script, items, file_errors, _ = CASES[name]
    (tmp_path / "f.sql").write_bytes(script)
    status, out, err = run("parse", "--errors", "--json", "--strict", "f.sql", cwd=tmp_path)
    lines = out.splitlines()
    records = [json.loads(line) for line in lines if line.startswith("{")]
    errors = [line.split(" | ")[0] for line in lines if not line.startswith("{")]
    want = [f"f.sql:{line}:{col}: {message}" for line, col, message in file_errors]
    want += [f"f.sql:{e[0][0]}:{e[0][1]}: {e[0][2]}" for _, e in items if e]
    assert (errors, [(r["kind"], r["errors"]) for r in records]) == (want, [(s, len(e)) for s, e in items])
    assert status == int(has_errors(CASES[name]))
    outside = f"errors outside statements: {len(file_errors)}\n"
    assert (outside in err) == bool(file_errors)


@pytest.mark.parametrize("name", CASES)
def test_catalog_command(tmp_path, name):
    script, _, file_errors, objects = CASES[name]
    (tmp_path / "f.sql").write_bytes(script)
    status, out, err = run("catalog", "f.sql", cwd=tmp_path)
    listed_objects = [tuple(line.split(" SYSTEM.")) for line in out.splitlines() if not line.startswith(" ")]
    assert listed_objects == objects
    utf16 = UTF16_ERROR in file_errors
    assert (status, f"f.sql: {UTF16_ERROR[2]}\n" in err) == (int(utf16), utf16)


@pytest.mark.parametrize("name", TEXT_CASES)
def test_python_parse(name):
    native = pytest.importorskip("veltrane._native")
    script, items, _, _ = CASES[name]
    assert listed(json.loads(native.parse(script.decode("utf-8")))) == items


@pytest.mark.parametrize("name", CASES)
def test_report(tmp_path, name):
    script, items, file_errors, objects = CASES[name]
    (tmp_path / "f.sql").write_bytes(script)
    (tmp_path / "clean.sql").write_bytes(b"create sequence s;\n")
    status, _, _ = run("report", "--fail-on-errors", "--format", "json,csv", "f.sql", "clean.sql", cwd=tmp_path)
    assert status == int(has_errors(CASES[name]))
    folder = tmp_path / "veltrane-report"
    document = json.loads((folder / "report.json").read_bytes())
    entry, clean = document["files"]
    own = [(d["line"], d["col"], d["message"]) for d in entry.get("errors", [])]
    assert (listed(entry["items"]), own, "errors" in clean) == (items, file_errors, False)
    assert entry["counts"]["errors"] == len(file_errors) + sum(len(e) for _, e in items)
    assert [(o["type"], o["name"]) for o in document["objects"] if o["name"] != "S"] == objects
    problems = list(csv.reader(io.StringIO((folder / "problems.csv").read_text())))[1:]
    want = [["f.sql", str(line), str(col), "error", message, ""] for line, col, message in file_errors]
    want += [["f.sql", str(e[0]), str(e[1]), "error", e[2], s] for s, errors in items for e in errors]
    assert [row[:6] for row in problems] == want


@pytest.mark.parametrize("name", TEXT_CASES)
def test_lab_parse(name):
    script, items, file_errors, _ = CASES[name]
    source = script.decode("utf-8")
    with lab() as server:
        result = json.loads(request(server.port, "POST", "/api/parse", {"source": source})[2])
    own = [(d["line"], d["col"], d["message"]) for d in result.get("errors", [])]
    assert (listed(result["items"]), own) == (items, file_errors)
    for d in result.get("errors", []):
        # The comment's span runs to the end of the text.
        start = sum(len(line) + 1 for line in source.split("\n")[: d["line"] - 1]) + d["col"] - 1
        assert (d["s"], d["e"]) == (start, len(source))
    assert result["counts"]["errors"] == len(file_errors) + sum(len(e) for _, e in items)
