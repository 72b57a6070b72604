"""The `veltrane` executable: dispatcher, input files, lex, split and parse."""

import json
import os
import pathlib
import re
import subprocess

import pytest
from corpus_scripts import corpus_folders
from unterminated_scripts import UNTERMINATED

REPO = pathlib.Path(__file__).resolve().parents[2]
EXE = pathlib.Path(os.environ.get("VELTRANE_EXE", REPO / "build" / "release" / "veltrane"))
TIMEOUT = 120

USAGE = [
    "usage: veltrane lex [--dump] [--strict] PATH...",
    "       veltrane split [--dump | --summary] [--strict] PATH...",
    "       veltrane parse [--dump] [--errors] [--json] [--version V] [--strict] PATH...",
    "       veltrane catalog [--schema S] PATH...",
    "       veltrane report [--out DIR] [--format html,csv,json] [--version V] [--title T]"
    " [--fail-on-errors] PATH...",
    "       veltrane lab [--port N] [--no-open]      the parser in your browser (Veltrane Lab)",
    "       veltrane serve [--port N]",
    "       veltrane --version",
]
NO_FILES_READ = (
    "0 files, 0 lines, 0.0 MB, 0 tokens, 0 diagnostics, 0 not UTF-8 (read lossy)\n"
    "lexed in 0.0 ms: 0 MB/s, 0.0 M lines/s\n"
)
SELECT = "select 1 from dual;\n"
KELVIN = "\u212a"


def run(*args, cwd=None):
    """Runs the executable; returns (status, stdout, stderr) with the streams as text."""
    if not EXE.exists():
        pytest.skip(f"no executable at {EXE}")
    done = subprocess.run(
        [str(EXE), *args], cwd=cwd, capture_output=True, timeout=TIMEOUT, check=False
    )
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


def write(folder, name, content=SELECT):
    path = folder / name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(content.encode("utf-8") if isinstance(content, str) else content)
    return path


# Dispatcher


@pytest.mark.parametrize(
    "args", [[], ["LEX"], ["lex "], ["le"], ["Parse"]], ids=["empty", "capitals", "blank", "short", "case"]
)
def test_unknown_or_missing_command_prints_usage(args):
    status, out, err = run(*args)
    assert (status, out) == (2, "")
    assert err == "".join(line + "\n" for line in USAGE)


@pytest.mark.parametrize("args", [["--version"], ["version", "x"], ["--version", "--bogus"]])
def test_version(args):
    assert run(*args) == (0, "veltrane 0.1.5\n", "")


def test_output_that_cannot_be_written_is_a_failure():
    if not EXE.exists() or not os.path.exists("/dev/full"):
        pytest.skip("no executable or no /dev/full")
    with open("/dev/full", "wb") as full:
        done = subprocess.run([str(EXE), "--version"], stdout=full, timeout=TIMEOUT, check=False)
    assert done.returncode == 1


@pytest.mark.parametrize("args", [["--version"], ["lex", "--dump", str(REPO / "samples")]])
def test_a_failed_write_names_the_stream_once(args):
    if not EXE.exists() or not os.path.exists("/dev/full"):
        pytest.skip("no executable or no /dev/full")
    with open("/dev/full", "wb") as full:
        done = subprocess.run(
            [str(EXE), *args], stdout=full, stderr=subprocess.PIPE, timeout=TIMEOUT, check=False
        )
    err = done.stderr.decode("utf-8")
    line = "veltrane: cannot write standard output: No space left on device (os error 28)\n"
    assert done.returncode == 1
    assert err.startswith(line) and err.count(line) == 1


def limit_memory(size):
    """A function for preexec_fn that limits the child's address space to `size` bytes."""
    import resource

    def limit():
        resource.setrlimit(resource.RLIMIT_AS, (size, size))

    return limit


def test_out_of_memory_is_a_failure_not_an_abort(tmp_path):
    # The tree of a chain of two million terms needs far more than 256 MiB.
    chain = write(tmp_path, "chain.sql", "select " + "+".join(["1"] * 2_000_000) + " from dual;\n")
    if not EXE.exists():
        pytest.skip(f"no executable at {EXE}")
    done = subprocess.run(
        [str(EXE), "parse", str(chain)], stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE, preexec_fn=limit_memory(256 << 20), timeout=TIMEOUT, check=False,
    )
    assert (done.returncode, done.stderr) == (1, b"veltrane: out of memory\n")


def test_a_dump_larger_than_memory_is_written_while_it_is_made(tmp_path):
    # The indented dump of a left-nested chain grows with the square of its length: here
    # about 257 MB of text, twice the address space the run is given.
    chain = write(tmp_path, "chain.sql", "select a" + " || a" * 8000 + " from dual;\n")
    if not EXE.exists():
        pytest.skip(f"no executable at {EXE}")
    dump = subprocess.Popen(
        [str(EXE), "parse", "--dump", str(chain)], stdout=subprocess.PIPE,
        stderr=subprocess.PIPE, preexec_fn=limit_memory(128 << 20),
    )
    written = 0
    last = b""
    while piece := dump.stdout.read(1 << 20):
        written += len(piece)
        last = (last + piece)[-2:]
    err = dump.stderr.read()
    assert dump.wait(timeout=TIMEOUT) == 0
    assert written > 128 << 20 and last == b"\n\n"
    assert err.startswith(b"1 files, 1 SQL statements")


# Input files and read errors


def test_missing_file_with_extension_is_reported_and_fails(tmp_path):
    status, out, err = run("lex", "nope.sql", cwd=tmp_path)
    assert (status, out) == (1, "")
    assert err == "nope.sql: No such file or directory (os error 2)\n" + NO_FILES_READ


@pytest.mark.parametrize("command", ["lex", "split"])
def test_no_files(tmp_path, command):
    (tmp_path / "EMPTY").mkdir()
    write(tmp_path, "EMPTY/notes.txt")
    for path in ["nope", "EMPTY"]:
        assert run(command, path, cwd=tmp_path) == (2, "", "no files\n")
    assert run(command, cwd=tmp_path) == (2, "", "no files\n")


def make_walk_folder(tmp_path):
    for name in ["A.SQL", "B.sql", "a/z.sql", "a.sql", f"x.p{KELVIN}s", ".hidden.sql",
                 ".git/x.sql", "notes.txt"]:
        write(tmp_path / "D", name)
    (tmp_path / "D" / "a" / "loop").symlink_to("..")


def test_walk_order(tmp_path):
    make_walk_folder(tmp_path)
    status, out, err = run("split", "--summary", "D", cwd=tmp_path)
    assert status == 0
    assert out == "".join(
        f"D/{name}\t1\t0\t0\t0\t0\n" for name in ["A.SQL", "B.sql", "a/z.sql", "a.sql", f"x.p{KELVIN}s"]
    )
    assert err.startswith(
        "5 files, 10 lines, 0.0 MB, 25 tokens, 0 diagnostics, 0 not UTF-8 (read lossy)\n"
        "5 SQL statements, 0 PL/SQL units, 0 SQL*Plus commands\nsplit in "
    )


def test_named_paths_are_taken_whatever_their_name(tmp_path):
    make_walk_folder(tmp_path)
    status, out, _ = run("split", "--summary", "D/notes.txt", "D/notes.txt", "D/.git", cwd=tmp_path)
    assert status == 0
    assert out == "D/notes.txt\t1\t0\t0\t0\t0\n" * 2 + "D/.git/x.sql\t1\t0\t0\t0\t0\n"


def test_read_errors_fail_the_run(tmp_path):
    write(tmp_path, "f.sql")
    (tmp_path / "x.sql").symlink_to("nowhere")
    os.mkfifo(tmp_path / "pipe.sql")
    with open(tmp_path / "big.sql", "wb") as big:
        big.truncate(2**31)
    status, out, err = run(
        "lex", "x.sql", "f.sql/x.sql", "missing", "pipe.sql", "big.sql", "f.sql", "-", cwd=tmp_path
    )
    assert (status, out) == (1, "")
    assert err.startswith(
        "x.sql: No such file or directory (os error 2)\n"
        "f.sql/x.sql: Not a directory (os error 20)\n"
        "missing: No such file or directory (os error 2)\n"
        "pipe.sql: not a regular file\n"
        "big.sql: file too large (2 GiB or more)\n"
        "-: No such file or directory (os error 2)\n"
        "1 files, 2 lines, "
    )


@pytest.mark.parametrize("command", ["lex", "split", "parse"])
def test_a_named_input_that_is_no_file_is_reported(tmp_path, command):
    os.mkfifo(tmp_path / "pipe")
    status, out, err = run(command, "pipe", cwd=tmp_path)
    assert (status, out) == (1, "")
    assert err.startswith("pipe: not a regular file\n0 files, ")
    # A PATH that does not exist keeps its old answer.
    if command != "parse":
        assert run(command, "nope", cwd=tmp_path) == (2, "", "no files\n")


def test_control_characters_reach_no_terminal(tmp_path):
    # ESC, BEL and the C1 control U+009B (CSI) become U+FFFD in the lines meant for a
    # person; a tab stays; the JSON lines keep their own escapes.
    name = "t\x1b[2J.sql"
    write(tmp_path, name, "select \x1b]0;title\x07, \u009b1 from dual;\nselect \x1b[31m\tx from\n")
    shown = "t\ufffd[2J.sql"
    status, out, err = run("parse", "--errors", "--json", name, cwd=tmp_path)
    lines = out.splitlines()
    assert lines[0] == (
        f"{shown}:1:8: expected an expression | select \ufffd]0;title\ufffd, \ufffd1 from dual;"
    )
    assert lines[1].startswith('{"file":"t\\u001b[2J.sql","start":0,')
    assert lines[3] == f"{shown}:2:8: expected an expression | select \ufffd[31m\tx from"
    status, out, err = run("lex", name, cwd=tmp_path)
    assert out.startswith(f"{shown}:1:8: unexpected character\n")
    status, out, err = run("parse", name + "\x9b.sql", cwd=tmp_path)
    assert err.startswith(f"{shown}\ufffd.sql: No such file or directory (os error 2)\n")


def test_dangling_link_in_a_folder_is_unreadable(tmp_path):
    write(tmp_path, "D/a.sql")
    (tmp_path / "D" / "b.sql").symlink_to("nowhere")
    os.mkfifo(tmp_path / "D" / "c.sql")
    status, _, err = run("parse", "D", cwd=tmp_path)
    assert status == 1
    assert err.startswith("D/b.sql: No such file or directory (os error 2)\n2 files, 1 SQL statements")


def test_invalid_utf8_is_read_lossily(tmp_path):
    write(tmp_path, "bad.sql", b"select '\xff\xc3' from dual;\n")
    write(tmp_path, "bom.sql", "\ufeffselect 1 from dual;")
    status, out, err = run("lex", "--dump", "bad.sql", "bom.sql", cwd=tmp_path)
    assert status == 0
    assert "bad.sql:1:8\tString\t\"'\ufffd\ufffd'\"\nbad.sql:1:13\tIdent\t\"from\"\n" in out
    # The BOM is valid UTF-8 and, first in the text, white space: only bad.sql counts as not UTF-8.
    assert "bad.sql:1:22\tSemicolon\t\";\"\nbom.sql:1:2\tIdent\t\"select\"\n" in out
    assert err.startswith("2 files, 3 lines, 0.0 MB, 10 tokens, 0 diagnostics, 1 not UTF-8 (read lossy)\n")


def test_bytes_total_is_the_decoded_length(tmp_path):
    # 100,003 bytes on disk; each of the 100,000 bad bytes becomes a 3-byte U+FFFD.
    write(tmp_path, "ff.sql", b"-- " + b"\xff" * 100_000)
    _, _, err = run("lex", "ff.sql", cwd=tmp_path)
    assert err.startswith("1 files, 1 lines, 0.3 MB, 0 tokens, 0 diagnostics, 1 not UTF-8 (read lossy)\n")


def test_file_name_that_is_not_utf8(tmp_path):
    (tmp_path / "D").mkdir()
    (tmp_path / "D" / "ba\xe9.sql".encode("latin-1").decode("utf-8", "surrogateescape")).write_text(SELECT)
    status, out, _ = run("split", "--summary", "D", cwd=tmp_path)
    assert (status, out) == (0, "D/ba\ufffd.sql\t1\t0\t0\t0\t0\n")


# lex and split


def test_lex_dump(tmp_path):
    write(tmp_path, "q.sql", "select 'a\"b' from dual;")
    status, out, err = run("lex", "--dump", "--summary", "--bogus", "q.sql", cwd=tmp_path)
    assert status == 0
    assert out == (
        "q.sql:1:1\tIdent\t\"select\"\n"
        "q.sql:1:8\tString\t\"'a\\\"b'\"\n"
        "q.sql:1:14\tIdent\t\"from\"\n"
        "q.sql:1:19\tIdent\t\"dual\"\n"
        "q.sql:1:23\tSemicolon\t\";\"\n"
    )
    assert err.startswith("1 files, 1 lines, 0.0 MB, 5 tokens, 0 diagnostics, 0 not UTF-8")


def test_lex_columns_count_characters(tmp_path):
    write(tmp_path, "c.sql", "select '\u00e9\u00e9' x\r\nfrom dual;")
    _, out, _ = run("lex", "--dump", "c.sql", cwd=tmp_path)
    assert out.splitlines()[2] == 'c.sql:1:13\tIdent\t"x"'
    assert out.splitlines()[3] == 'c.sql:2:1\tIdent\t"from"'


def test_split_dump_of_a_command(tmp_path):
    write(tmp_path, "r.sql", "REMARK hello\n")
    status, out, err = run("split", "--dump", "r.sql", cwd=tmp_path)
    assert (status, out) == (0, 'r.sql:1:1\tSqlPlus REMARK\t"REMARK hello"\n')
    assert err.startswith(
        "1 files, 2 lines, 0.0 MB, 0 tokens, 0 diagnostics, 0 not UTF-8 (read lossy)\n"
        "0 SQL statements, 0 PL/SQL units, 1 SQL*Plus commands\n"
    )


def test_split_dump_cuts_items_at_70_characters(tmp_path):
    long_select = "select '" + "\u00e9" * 80 + "' from dual"
    write(tmp_path, "s.sql", f"select\ta,\r\n  b\nfrom t;\n{long_select};\n")
    _, out, _ = run("split", "--dump", "s.sql", cwd=tmp_path)
    assert out.splitlines() == [
        's.sql:1:1\tSql\t"select\\ta,\\r   b from t"',
        's.sql:4:1\tSql\t"select \'' + "\u00e9" * 62 + '"',
    ]


def test_split_summary_counts_execute_and_slash(tmp_path):
    script = "set serveroutput on\nexec p;\nbegin null; end;\n/\n/\nselect 1 from dual;\n"
    write(tmp_path, "s.sql", script)
    status, out, err = run("split", "--summary", "--dump", "s.sql", cwd=tmp_path)
    assert status == 0
    lines = out.splitlines()
    assert lines[0] == "s.sql\t1\t1\t3\t1\t1"
    assert lines[1:] == [
        's.sql:1:1\tSqlPlus SET\t"set serveroutput on"',
        's.sql:2:1\tSqlPlus EXECUTE\t"exec p;"',
        's.sql:3:1\tPlSql\t"begin null; end;"',
        's.sql:5:1\tSqlPlus /\t"/"',
        's.sql:6:1\tSql\t"select 1 from dual"',
    ]
    assert "1 SQL statements, 1 PL/SQL units, 3 SQL*Plus commands\n" in err


@pytest.mark.parametrize("command", ["lex", "split"])
def test_strict_fails_on_diagnostics(tmp_path, command):
    write(tmp_path, "u.sql", "select 'abc from dual;\n")
    status, out, err = run(command, "u.sql", cwd=tmp_path)
    assert (status, out) == (0, "u.sql:1:8: unterminated string\n")
    assert ", 1 diagnostics, " in err
    assert run(command, "--strict", "u.sql", cwd=tmp_path)[0] == 1


def test_statistics_and_speed_lines(tmp_path):
    write(tmp_path, "a.sql", "select 1 from dual;\n\n")
    write(tmp_path, "empty.sql", "")
    _, _, err = run("split", "a.sql", "empty.sql", cwd=tmp_path)
    lines = err.splitlines()
    assert lines[:2] == [
        "2 files, 4 lines, 0.0 MB, 5 tokens, 0 diagnostics, 0 not UTF-8 (read lossy)",
        "1 SQL statements, 0 PL/SQL units, 0 SQL*Plus commands",
    ]
    assert re.fullmatch(r"split in \d+\.\d ms: \d+ MB/s, \d+\.\d M lines/s", lines[2])
    assert len(lines) == 3


# parse

PARSE_NOTHING = (
    "0 files, 0 SQL statements, 0.0 MB\n"
    "parsed without errors: 0 of 0 (0.00%); 0 warnings; 0 not lossless\n"
    "parsed in 0.0 ms: 0 MB/s\n"
)


def test_parse_without_files(tmp_path):
    (tmp_path / "EMPTY").mkdir()
    assert run("parse", cwd=tmp_path) == (0, "", PARSE_NOTHING)
    assert run("parse", "EMPTY", cwd=tmp_path) == (0, "", PARSE_NOTHING)


@pytest.mark.parametrize(
    "args",
    [["--version"], ["--version", "abc", "f.sql"], ["f.sql", "--version", "19c", "--version"],
     ["--version", "--json", "f.sql"]],
)
def test_parse_version_errors(tmp_path, args):
    write(tmp_path, "f.sql")
    assert run("parse", *args, cwd=tmp_path) == (
        2, "", "--version needs an Oracle version such as 19c\n"
    )


def test_parse_last_version_wins(tmp_path):
    # A query without FROM is accepted from 23ai on; earlier versions warn.
    write(tmp_path, "v.sql", "select 1;\n")
    _, _, err = run("parse", "--version", "12.2", "--version", "19c", "v.sql", cwd=tmp_path)
    assert "; 1 warnings; " in err
    status, _, err = run("parse", "--strict", "--version", "19c", "--version", "23ai", "v.sql",
                         cwd=tmp_path)
    assert (status, "; 0 warnings; " in err) == (0, True)


def test_parse_json_line(tmp_path):
    write(tmp_path, "f.sql")
    status, out, err = run("parse", "--json", "f.sql", cwd=tmp_path)
    assert status == 0
    assert out == (
        '{"file":"f.sql","start":0,"kind":"SelectStmt","errors":0,"tables":["DUAL"],'
        '"text":"select 1 from dual"}\n'
    )
    assert err.startswith(
        "1 files, 1 SQL statements, 0.0 MB\n"
        "  SelectStmt                1      0 with errors\n"
        "parsed without errors: 1 of 1 (100.00%); 0 warnings; 0 not lossless\n"
        "parsed in "
    )


def test_parse_json_escapes(tmp_path):
    write(tmp_path, "g\u00e9.sql", "prompt x\nselect '\b\f\t\"\\' from\r\ndual\n/\n")
    _, out, _ = run("parse", "--json", "g\u00e9.sql", cwd=tmp_path)
    assert out == (
        '{"file":"g\u00e9.sql","start":9,"kind":"SelectStmt","errors":0,"tables":["DUAL"],'
        '"text":"select \'\\u0008\\u000c\\t\\"\\\\\' from\\r\\ndual"}\n'
    )


def test_parse_errors_dump_and_strict(tmp_path):
    write(tmp_path, "e.sql", "select 1 from dual;\n  select f((1 from dual;   \nselect 2 from dual;\n")
    status, out, err = run("parse", "--errors", "--dump", "e.sql", cwd=tmp_path)
    assert status == 0
    blocks = out.split("\n\n")
    assert blocks[0].startswith("SelectStmt\n  Query\n")
    assert blocks[1].startswith("e.sql:2:15: expected ) | select f((1 from dual;\nSelectStmt\n")
    assert blocks[-1] == ""
    assert len(blocks) == 4
    assert err.splitlines() == [
        "1 files, 3 SQL statements, 0.0 MB",
        "  SelectStmt                3      1 with errors",
        "parsed without errors: 2 of 3 (66.67%); 0 warnings; 0 not lossless",
        "       1  expected )",
        "       1  expected ) to close the argument list",
        err.splitlines()[-1],
    ]
    assert run("parse", "--strict", "e.sql", cwd=tmp_path)[0] == 1


@pytest.mark.parametrize("name", UNTERMINATED)
def test_parse_counts_the_lexer_error_an_item_holds(tmp_path, name):
    script, items = UNTERMINATED[name]
    write(tmp_path, "u.sql", script)
    status, out, _ = run("parse", "--errors", "--json", "--strict", "u.sql", cwd=tmp_path)
    want = [f"u.sql:{e[0][0]}:{e[0][1]}: {e[0][2]} | " for _, e in items if e]
    assert [line.split("| ")[0] + "| " for line in out.splitlines() if line[0] != "{"] == want
    records = [json.loads(line) for line in out.splitlines() if line[0] == "{"]
    assert [(r["kind"], r["errors"]) for r in records] == [(s, len(e)) for s, e in items]
    assert status == int(bool(want))


def test_parse_counts_files_and_skips_commands(tmp_path):
    write(tmp_path, "cmds.sql", "set echo on\nprompt hi\n")
    status, out, err = run("parse", "cmds.sql", "nope.sql", "nope", cwd=tmp_path)
    assert (status, out) == (1, "")
    assert err.startswith(
        "nope.sql: No such file or directory (os error 2)\n"
        "nope: No such file or directory (os error 2)\n"
        "2 files, 0 SQL statements, 0.0 MB\n"
        "parsed without errors: 0 of 0 (0.00%); 0 warnings; 0 not lossless\n"
    )


def test_parse_corpus():
    folders = [os.path.relpath(folder, REPO) for folder in corpus_folders()]
    status, _, err = run("parse", *folders, cwd=REPO)
    files, statements = re.match(r"(\d+) files, (\d+) SQL statements, ", err).groups()
    assert int(files) > 0 and int(statements) > 0
    assert re.search(r"; 0 not lossless\n", err)
    assert status == 0
