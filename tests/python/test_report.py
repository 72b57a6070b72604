"""The `veltrane report` command and the report archive."""

import io
import json
import os
import pathlib
import subprocess
import zipfile

import pytest
from unterminated_scripts import UNTERMINATED, listed

REPO = pathlib.Path(__file__).resolve().parents[2]
EXE = pathlib.Path(os.environ.get("VELTRANE_EXE", REPO / "build" / "release" / "veltrane"))
ZIP_PACK = pathlib.Path(os.environ.get("VELTRANE_ZIP_PACK", EXE.parent / "report_zip_pack"))
TIMEOUT = 120

T_SQL = "create table t (a number);\ncreate sequence s;\nselect a from t;\n"
OUTPUTS = [
    "files.csv",
    "objects.csv",
    "problems.csv",
    "report.html",
    "report.json",
    "statements.csv",
    "tables.csv",
]
SUMMARY_T = (
    "1 files, 3 statements, 0 with errors, 0 warnings, 2 objects created: "
    "report in veltrane-report (open veltrane-report/report.html)\n"
)


def run(*args, cwd):
    if not EXE.exists():
        pytest.skip(f"no executable at {EXE}")
    done = subprocess.run(
        [str(EXE), "report", *args], cwd=cwd, capture_output=True, timeout=TIMEOUT, check=False
    )
    return done.returncode, done.stdout, done.stderr.decode("utf-8")


def write(folder, name, content):
    path = folder / name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(content.encode("utf-8") if isinstance(content, str) else content)
    return path


def listing(folder):
    return sorted(p.name for p in folder.iterdir())


@pytest.mark.parametrize(
    "args, message",
    [
        ([], "veltrane report: no files (give SQL files or folders)\n"),
        (["--bogus", "a.sql"], "veltrane report: unknown option --bogus\n"),
        (["--", "a.sql"], "veltrane report: unknown option --\n"),
        (["--format", "HTML", "a.sql"], "veltrane report: --format takes html, csv, json (not HTML)\n"),
        (["--format", " json ,xml", "a.sql"], "veltrane report: --format takes html, csv, json (not xml)\n"),
        (
            ["--version", "7", "a.sql"],
            "veltrane report: 7 is not an Oracle version (12.2, 19c, 21c, 23ai, 26ai...)\n",
        ),
        (
            ["--version", "7x", "a.sql"],
            "veltrane report: 7x is not an Oracle version (12.2, 19c, 21c, 23ai, 26ai...)\n",
        ),
        (
            ["--version", " 7x ", "a.sql"],
            "veltrane report:  7x  is not an Oracle version (12.2, 19c, 21c, 23ai, 26ai...)\n",
        ),
        (["typo_dir"], "veltrane report: no files (give SQL files or folders)\n"),
        (["empty_dir"], "veltrane report: no files (give SQL files or folders)\n"),
        # The scan comes first: the unknown option wins over a bad format.
        (["--format", "xml", "--zz", "a.sql"], "veltrane report: unknown option --zz\n"),
        (["--version", "7x", "--format", "xml", "a.sql"],
         "veltrane report: --format takes html, csv, json (not xml)\n"),
        (["--bad\x1b]0;x\x07", "a.sql"], "veltrane report: unknown option --bad\ufffd]0;x\ufffd\n"),
    ],
    ids=[
        "no-path", "unknown", "dashes", "HTML", "xml", "old-version", "version",
        "blank-version-text",
        "missing-dir", "empty-dir", "scan-first", "format-before-version", "control",
    ],
)
def test_command_line_errors_write_nothing(tmp_path, args, message):
    write(tmp_path, "a.sql", T_SQL)
    (tmp_path / "empty_dir").mkdir()
    status, out, err = run(*args, cwd=tmp_path)
    assert (status, out, err) == (2, b"", message)
    assert not (tmp_path / "veltrane-report").exists()


def test_worked_example(tmp_path):
    write(tmp_path, "t.sql", T_SQL)
    status, out, err = run("t.sql", cwd=tmp_path)
    assert (status, out, err) == (0, b"", SUMMARY_T)
    folder = tmp_path / "veltrane-report"
    assert listing(folder) == OUTPUTS
    assert (folder / "objects.csv").read_bytes() == (
        b"type,owner,name,columns,members\r\nSEQUENCE,APP,S,0,0\r\nTABLE,APP,T,1,0\r\n"
    )
    assert b"\r\nt.sql,63,3,3,0,0,0,0\r\n" in (folder / "files.csv").read_bytes()
    assert b"\r\nt.sql,3,1,3,sql,SelectStmt,0,0,T,15,true\r\n" in (
        folder / "statements.csv"
    ).read_bytes()
    data = json.loads((folder / "report.json").read_text("utf-8"))
    assert data["summary"]["objects"] == 2
    # Two runs write the same bytes.
    first = {name: (folder / name).read_bytes() for name in OUTPUTS}
    assert run("t.sql", cwd=tmp_path)[0] == 0
    assert first == {name: (folder / name).read_bytes() for name in OUTPUTS}


def test_unreadable_input_still_writes_the_report(tmp_path):
    status, out, err = run("missing.sql", "--format", "json", "--out", "o", cwd=tmp_path)
    assert status == 1
    assert err == (
        "missing.sql: No such file or directory (os error 2)\n"
        "0 files, 0 statements, 0 with errors, 0 warnings, 0 objects created: report in o\n"
    )
    text = (tmp_path / "o" / "report.json").read_text("utf-8")
    assert '\n  "files": [],\n' in text
    assert text.endswith("}")


def test_missing_folder_beside_a_file_fails_the_run(tmp_path):
    write(tmp_path, "x.sql", "select 1 from dual;\n")
    status, _, err = run("typo_dir", "x.sql", "--format", "csv", cwd=tmp_path)
    assert status == 1
    assert err.endswith("1 files, 1 statements, 0 with errors, 0 warnings, 0 objects created: "
                        "report in veltrane-report\n")
    assert err.startswith("typo_dir: ")


@pytest.mark.parametrize(
    "args, status",
    [
        (["bad.sql"], 0),
        (["bad.sql", "--fail-on-errors"], 1),
        (["good.sql", "--fail-on-errors"], 0),
        (["warn.sql", "--version", "11.2", "--fail-on-errors"], 0),
        (["--title", "--fail-on-errors", "bad.sql"], 1),
    ],
    ids=["errors", "fail-on-errors", "clean", "warnings-only", "title-value"],
)
def test_fail_on_errors(tmp_path, args, status):
    write(tmp_path, "bad.sql", "select from;\n")
    write(tmp_path, "good.sql", "select 1 from dual;\n")
    write(tmp_path, "warn.sql", "select * from t fetch first 5 rows only;\n")
    assert run(*args, "--format", "json", cwd=tmp_path)[0] == status


@pytest.mark.parametrize("name", UNTERMINATED)
def test_items_list_and_count_the_lexer_error_they_hold(tmp_path, name):
    script, items = UNTERMINATED[name]
    write(tmp_path, "u.sql", script)
    assert run("u.sql", "--fail-on-errors", "--format", "json,csv", cwd=tmp_path)[0] == int(any(e for _, e in items))
    folder = tmp_path / "veltrane-report"
    assert listed(json.loads((folder / "report.json").read_bytes())["files"][0]["items"]) == items
    problems = [row.split(",")[1:5] for row in (folder / "problems.csv").read_text().splitlines() if ",error," in row]
    assert problems == [[str(line), str(col), "error", message] for _, e in items for line, col, message in e]


def test_title_flag_value_and_version_last(tmp_path):
    write(tmp_path, "bad.sql", "select from;\n")
    status, _, _ = run("--version", "12.2", "--title", "--fail-on-errors", "bad.sql",
                       "--format", "json", "--version", cwd=tmp_path)
    assert status == 1
    data = json.loads((tmp_path / "veltrane-report" / "report.json").read_text("utf-8"))
    assert data["title"] == "--fail-on-errors"
    assert data["oracle_version"] == "26ai"


@pytest.mark.parametrize(
    "formats, files",
    [
        ("json, ,csv", [n for n in OUTPUTS if n != "report.html"]),
        ("html", ["report.html"]),
        (" , ", []),
        ("", []),
    ],
    ids=["json-csv", "html", "blank-pieces", "empty"],
)
def test_formats(tmp_path, formats, files):
    write(tmp_path, "t.sql", T_SQL)
    status, _, err = run("t.sql", "--format", formats, "--out", "out/deeper", cwd=tmp_path)
    assert status == 0
    folder = tmp_path / "out" / "deeper"
    assert listing(folder) == sorted(files)
    opened = " (open out/deeper/report.html)" if "report.html" in files else ""
    assert err.endswith(": report in out/deeper" + opened + "\n")


def test_out_ignored_when_last_and_trailing_slash(tmp_path):
    write(tmp_path, "t.sql", T_SQL)
    assert run("t.sql", "--format", "json", "--out", cwd=tmp_path)[0] == 0
    assert listing(tmp_path / "veltrane-report") == ["report.json"]
    status, _, err = run("t.sql", "--format", "html", "--out", "slash/", cwd=tmp_path)
    assert status == 0
    assert err.endswith("report in slash/ (open slash/report.html)\n")


def test_empty_out_writes_into_the_working_folder(tmp_path):
    write(tmp_path, "t.sql", T_SQL)
    status, _, err = run("t.sql", "--format", "json", "--out", "", cwd=tmp_path)
    assert status == 0
    assert (tmp_path / "report.json").exists()
    assert err.endswith("report in \n")


@pytest.mark.parametrize(
    "out, reason",
    [
        ("afile", "File exists (os error 17)"),
        ("afile/", "File exists (os error 17)"),
        ("afile/sub", "Not a directory (os error 20)"),
        ("afile//sub/", "Not a directory (os error 20)"),
    ],
)
def test_out_naming_a_file(tmp_path, out, reason):
    write(tmp_path, "t.sql", T_SQL)
    write(tmp_path, "afile", "x")
    status, _, err = run("t.sql", "--out", out, cwd=tmp_path)
    assert status == 1
    assert err == f"veltrane report: {out}: {reason}\n"
    assert (tmp_path / "afile").read_text() == "x"
    assert (tmp_path / "afile").read_text() == "x"


def test_output_that_cannot_be_written(tmp_path):
    write(tmp_path, "t.sql", T_SQL)
    folder = tmp_path / "veltrane-report"
    (folder / "report.json").mkdir(parents=True)
    write(folder, "keep.txt", "kept")
    status, _, err = run("t.sql", cwd=tmp_path)
    assert status == 1
    assert err == "veltrane report: report.json: Is a directory (os error 21)\n"
    # The outputs before it stay written; nothing else is left behind.
    assert listing(folder) == sorted(OUTPUTS + ["keep.txt"])
    assert (folder / "keep.txt").read_text() == "kept"
    assert (folder / "report.html").stat().st_size > 0


def test_html_directory_fails_first(tmp_path):
    write(tmp_path, "t.sql", T_SQL)
    (tmp_path / "veltrane-report" / "report.html").mkdir(parents=True)
    status, _, err = run("t.sql", cwd=tmp_path)
    assert (status, err) == (1, "veltrane report: report.html: Is a directory (os error 21)\n")
    assert listing(tmp_path / "veltrane-report") == ["report.html"]


def test_existing_outputs_are_overwritten_in_place(tmp_path):
    write(tmp_path, "t.sql", T_SQL)
    folder = tmp_path / "veltrane-report"
    old = write(folder, "report.json", "x" * 100000)
    os.chmod(old, 0o600)
    link_target = write(tmp_path, "elsewhere.csv", "old")
    (folder / "files.csv").symlink_to(link_target)
    assert run("t.sql", cwd=tmp_path)[0] == 0
    assert (folder / "report.json").read_text("utf-8").startswith("{")
    assert (folder / "report.json").stat().st_mode & 0o777 == 0o600
    assert (folder / "files.csv").is_symlink()
    assert link_target.read_text().startswith("file,bytes")


def test_latin1_title_schema_and_file_name(tmp_path):
    name = b"caf\xe9.sql"
    (tmp_path / os.fsdecode(name)).write_bytes(b"create table t (a number);\n")
    if not EXE.exists():
        pytest.skip(f"no executable at {EXE}")
    done = subprocess.run(
        [str(EXE), "report", "--title", b"\xe9t\xe9", "--schema", b"\xe9", "--format", "json",
         name],
        cwd=tmp_path, capture_output=True, timeout=TIMEOUT, check=False,
    )
    assert done.returncode == 0, done.stderr
    data = json.loads((tmp_path / "veltrane-report" / "report.json").read_text("utf-8"))
    assert data["title"] == "\ufffdt\ufffd"
    assert data["schema"] == "\ufffd"
    assert data["files"][0]["name"] == "caf\ufffd.sql"
    assert data["objects"][0]["owner"] == "\ufffd"


def test_same_file_twice_counts_twice(tmp_path):
    write(tmp_path, "t.sql", T_SQL)
    status, _, err = run("t.sql", "t.sql", "--format", "json", cwd=tmp_path)
    assert status == 0
    assert err.startswith("2 files, 6 statements, 0 with errors, 0 warnings, 2 objects created")


def test_statement_holding_a_script_end_tag(tmp_path):
    write(
        tmp_path,
        "x.sql",
        "select '</script><img src=x onerror=alert(1)>' from dual;\n"
        "select '<!--<script>' from dual;\n"
        "select caf\u00e9 from caf\u00e9;\n",
    )
    assert run("x.sql", cwd=tmp_path)[0] == 0
    page = (tmp_path / "veltrane-report" / "report.html").read_text("utf-8")
    assert "<\\/script><img" in page and "</script><img" not in page
    assert "\\u003c!--<script>" in page
    data = json.loads((tmp_path / "veltrane-report" / "report.json").read_text("utf-8"))
    assert data["files"][0]["items"][2]["end_line"] == 3


# The archive, through the test-only packing program.


def pack(*paths):
    if not ZIP_PACK.exists():
        pytest.skip(f"no packing program at {ZIP_PACK}")
    done = subprocess.run(
        [str(ZIP_PACK), *map(str, paths)], capture_output=True, timeout=TIMEOUT, check=True
    )
    return done.stdout


def test_empty_archive():
    assert pack() == b"PK\x05\x06" + bytes(18)


def test_archive_of_the_seven_outputs(tmp_path):
    write(tmp_path, "t.sql", T_SQL + "select from;\n")
    assert run("t.sql", cwd=tmp_path)[0] == 1 - 1
    folder = tmp_path / "veltrane-report"
    order = ["report.html", "files.csv", "statements.csv", "problems.csv", "tables.csv",
             "objects.csv", "report.json"]
    empty = write(tmp_path, "empty.txt", b"")
    paths = [folder / name for name in order] + [empty]
    archive = pack(*paths)
    assert archive == pack(*paths)
    with zipfile.ZipFile(io.BytesIO(archive)) as opened:
        infos = opened.infolist()
        assert [info.filename for info in infos] == [
            "veltrane-report/" + name for name in order + ["empty.txt"]
        ]
        for info, path in zip(infos, paths):
            assert info.compress_type == zipfile.ZIP_DEFLATED
            assert info.flag_bits == 0
            assert info.date_time == (1980, 1, 1, 0, 0, 0)
            assert info.external_attr == 0x81A40000
            assert info.create_system == 3
            assert info.create_version == 20
            assert info.extract_version == 20
            assert info.extra == b""
            assert info.comment == b""
            assert opened.read(info) == path.read_bytes()
        assert infos[-1].CRC == 0 and infos[-1].file_size == 0
        assert opened.testzip() is None
