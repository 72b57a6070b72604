"""Deep nesting of the argument tail's own lists and of the forms around them, on every
face: the command line, the Python module, the C analysis on a host thread with a small
stack, and the two servers. Each face answers with one "nesting too deep" and goes on."""

import json
import subprocess
import threading

import pytest
from test_capi import LIBRARY, analyze, load
from test_server import EXE, lab, need_exe, request, serve

import veltrane

LEVELS = 100_000

# name: (prefix, opening of one level, innermost text, closing of one level, suffix)
FORMS = {
    "JSON_TRANSFORM NESTED PATH": (
        "select json_transform(j, ",
        "nested path '$' (",
        "set '$.a' = 1",
        ")",
        ") from t;",
    ),
    "KEEP before NESTED PATH": (
        "select json_transform(j, keep '$.b', ",
        "nested path '$' (",
        "set '$.a' = 1",
        ")",
        ") from t;",
    ),
    "JSON_TRANSFORM CASE": (
        "select json_transform(j, ",
        "case when 1 = 1 then (",
        "set '$.a' = 1",
        ") end",
        ") from t;",
    ),
    "member arrays": ("select f(", "1:[", "1", "]", ") from dual;"),
    "member arrays in JSON {}": ("select json{'k' : ", "['k' : ", "1", "]", "} from dual;"),
    "[ select ] arrays": ("select ", "json{'k' : [select ", "1", " from dual]}", " from dual;"),
    "cost matrices": ("select ", "prediction(m cost (a) values ((", "1", ")) using *)", " from t;"),
    "VALUES items": ("select * from ", "(values ((select * from ", "dual", "))) v", ";"),
    "NESTED FROM": (
        "select * from t nested j columns (",
        "nested path '$.a' columns (",
        "x number",
        ")",
        ");",
    ),
    "qualified-expression keys": ("begin x := ", "t(", "1", " => 2)", "; end;\n/"),
}


def deep(name):
    prefix, opening, middle, closing, suffix = FORMS[name]
    return prefix + opening * LEVELS + middle + closing * LEVELS + suffix


def too_deep(messages):
    return sum(message == "nesting too deep" for message in messages)


@pytest.mark.parametrize("name", FORMS)
def test_command_line(tmp_path, name):
    need_exe()
    script = tmp_path / "deep.sql"
    script.write_text(deep(name))
    run = subprocess.run([str(EXE), "parse", "--errors", str(script)], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert run.stdout.count(": nesting too deep |") == 1
    assert "parsed without errors: 0 of 1" in run.stdout + run.stderr


@pytest.mark.parametrize("name", FORMS)
def test_python_parse(name):
    [item] = json.loads(veltrane.parse(deep(name)))
    assert too_deep(error["message"] for error in item["errors"]) == 1


def test_c_analysis_on_a_host_thread_with_a_small_stack():
    if not LIBRARY.is_file():
        pytest.skip(f"no library at {LIBRARY}")
    library = load(LIBRARY)
    results = {}

    def run():
        for name in FORMS:
            results[name] = analyze(library, deep(name).encode())

    previous = threading.stack_size(256 << 10)
    try:
        thread = threading.Thread(target=run)
        thread.start()
        thread.join()
    finally:
        threading.stack_size(previous)
    assert list(results) == list(FORMS)
    for name, result in results.items():
        # The tree is deeper than Python's JSON reader goes: read the diagnostics only.
        diagnostics = json.JSONDecoder().raw_decode(result.decode(), len('{"diagnostics":'))[0]
        assert too_deep(d["message"] for d in diagnostics) == 1, name


@pytest.mark.parametrize("start, path", [(lab, "/api/parse"), (serve, "/api/analyze")])
def test_servers_answer_and_go_on(start, path):
    with start() as server:
        for name in FORMS:
            status, _, body = request(server.port, "POST", path, {"source": deep(name)})
            assert status == "HTTP/1.1 200 OK", name
            assert body.count(b'"nesting too deep"') == 1, name
        assert request(server.port, "GET", "/")[0] == "HTTP/1.1 200 OK"
        assert server.process.poll() is None
