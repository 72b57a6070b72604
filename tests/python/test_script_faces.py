"""Whole scripts read alike on every face (parse, catalog and report commands, Python parse,
the Lab): a byte-order mark, UTF-16, text SQL*Plus sends unread, a comment left open
between statements or inside one."""

import csv
import io
import json

import pytest
from test_cli import run
from test_server import lab, request
from unterminated_scripts import listed

UTF16 = (1, 1, "UTF-16 text: veltrane reads UTF-8")
COMMENT = "unterminated comment"
# name: (file bytes, items [(statement, [(line, col, message)])], errors of the file,
#        catalog objects [(type, name)])
CASES = {
    "byte-order mark": (b"\xef\xbb\xbfcreate or replace package p is\nprocedure a;\nprocedure b;\nend;\n/\n",
                        [("CreatePackage", [])], [], [("PACKAGE", "P")]),
    "UTF-16 LE": ("select 1 from dual;\n".encode("utf-16"), [], [UTF16], []),
    "UTF-16 BE": (b"\xfe\xff" + "create table t (a number);\n".encode("utf-16-be"), [], [UTF16], []),
    "java source": (b'create or replace and compile java source named "A" as\npublic class A {\n  // it\'s here\n'
                    b"  public static int f() { return 1; }\n}\n/\nselect 1 from dual;\n",
                    [("OtherStmt", []), ("SelectStmt", [])], [], []),
    "older wrapped unit": (b"create or replace package p wrapped\na\n3 X'Y:\n/\ncreate or replace package q wrapped\nb\n/\n",
                           [("CreatePackage", []), ("CreatePackage", [])], [], [("PACKAGE", "P"), ("PACKAGE", "Q")]),
    "module closed later": (b"create or replace mle module m language javascript as\n// don't\n"
                            b"export function f() { return 1; }\n/\ndrop table hr.important;\ngrant dba to public;\n-- that's all\n",
                            [("OtherStmt", []), ("DropStmt", []), ("GrantStmt", [])], [], []),
    "comment between statements": (b"select 1 from dual;\n/* header\nselect 2 from dual;\n",
                                   [("SelectStmt", [])], [(2, 1, COMMENT)], []),
    "comment before every statement": (b"/* header\nselect 1 from dual;\n", [], [(1, 1, COMMENT)], []),
    "comment after a unit": (b"create procedure p is begin null; end;\n/\n/* trailing\n",
                             [("CreateProcedure", [])], [(3, 1, COMMENT)], [("PROCEDURE", "P")]),
    "comment in the statement": (b"create table t (a number) /* note ;\n", [("CreateTable", [(1, 27, COMMENT)])], [], []),
}
TEXT_CASES = [name for name in CASES if UTF16 not in CASES[name][2]]


def errors_of(case):
    """The errors of the file, then each item's: what the faces that list errors count."""
    return case[2] + [error for _, errors in case[1] for error in errors]


def own_errors(result):
    return [(d["line"], d["col"], d["message"]) for d in result.get("errors", [])]


@pytest.mark.parametrize("name", CASES)
def test_command_line(tmp_path, name):
    script, items, file_errors, objects = CASES[name]
    (tmp_path / "f.sql").write_bytes(script)
    (tmp_path / "clean.sql").write_bytes(b"create sequence s;\n")
    status, out, err = run("parse", "--errors", "--json", "--strict", "f.sql", cwd=tmp_path)
    records = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
    shown = [line.split(" | ")[0] for line in out.splitlines() if not line.startswith("{")]
    firsts = file_errors + [errors[0] for _, errors in items if errors]
    assert shown == [f"f.sql:{line}:{col}: {message}" for line, col, message in firsts]
    assert [(r["kind"], r["errors"]) for r in records] == [(s, len(e)) for s, e in items]
    assert (status, f"errors outside statements: {len(file_errors)}\n" in err) == (int(bool(firsts)), bool(file_errors))

    status, out, err = run("catalog", "f.sql", cwd=tmp_path)
    assert [tuple(line.split(" SYSTEM.")) for line in out.splitlines() if line[0] != " "] == objects
    assert (status, "f.sql: " + UTF16[2] in err) == (int(UTF16 in file_errors), UTF16 in file_errors)

    status = run("report", "--fail-on-errors", "--format", "json,csv", "f.sql", "clean.sql", cwd=tmp_path)[0]
    document = json.loads((tmp_path / "veltrane-report" / "report.json").read_bytes())
    entry, clean = document["files"]
    assert (status, listed(entry["items"]), own_errors(entry)) == (int(bool(errors_of(CASES[name]))), items, file_errors)
    assert (entry["counts"]["errors"], "errors" in clean) == (len(errors_of(CASES[name])), False)
    assert [(o["type"], o["name"]) for o in document["objects"] if o["name"] != "S"] == objects
    problems = list(csv.reader(io.StringIO((tmp_path / "veltrane-report" / "problems.csv").read_text())))[1:]
    want = [["f.sql", str(line), str(col), "error", message, ""] for line, col, message in file_errors]
    want += [["f.sql", str(e[0]), str(e[1]), "error", e[2], s] for s, errors in items for e in errors]
    assert [row[:6] for row in problems if row[3] == "error"] == want


@pytest.mark.parametrize("name", TEXT_CASES)
def test_python_parse_and_lab(name):
    script, items, file_errors, _ = CASES[name]
    source = script.decode("utf-8")
    native = pytest.importorskip("veltrane._native")
    assert listed(json.loads(native.parse(source))) == items
    with lab() as server:
        result = json.loads(request(server.port, "POST", "/api/parse", {"source": source})[2])
    assert (listed(result["items"]), own_errors(result)) == (items, file_errors)
    assert result["counts"]["errors"] == len(errors_of(CASES[name]))
    for d in result.get("errors", []):
        # The comment runs to the end of the text.
        start = sum(len(line) + 1 for line in source.split("\n")[: d["line"] - 1]) + d["col"] - 1
        assert (d["s"], d["e"]) == (start, len(source))
