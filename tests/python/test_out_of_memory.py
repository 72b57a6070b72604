"""Out of memory ends one request, not the process: `veltrane report`, the Lab and the
Python module run in child processes under a lowered address-space limit (RLIMIT_AS), at
limits from early failure to success. No run may end by a signal or with status 127 (the
C library's "cannot allocate memory for thread-local data"), and some must end with the
out-of-memory failure; a server answers such a request with 503 and a one-line JSON error.
Not under AddressSanitizer, whose shadow memory needs far more
address space than any limit here."""

import http.client
import json
import os
import pathlib
import re
import resource
import select
import subprocess
import sys
import time

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
EXE = pathlib.Path(os.environ.get("VELTRANE_EXE", REPO / "build" / "release" / "veltrane"))
TIMEOUT = 120
MIB = 1 << 20
# Limits of the address space, low enough that the first ones fail early and high enough
# that the last one succeeds.
LIMITS_MIB = [96, 160, 256, 400, 640, 1024]
# A script of empty statements: every ";" is an item, so the outputs run to about 100 bytes
# per source byte.
SOURCE = ";" * (512 * 1024)
# The start line of either server.
LAB_LINE = re.compile(r"http://127\.0\.0\.1:([0-9]+)/")


def need_exe():
    if not EXE.exists():
        pytest.skip(f"no executable at {EXE}")


def limited(limit_mib):
    def set_limit():
        resource.setrlimit(resource.RLIMIT_AS, (limit_mib * MIB, limit_mib * MIB))

    return set_limit


def ended_cleanly(returncode):
    return returncode >= 0 and returncode != 127


def test_report_command_says_out_of_memory(tmp_path):
    need_exe()
    script = tmp_path / "empty.sql"
    script.write_text(SOURCE)
    ends = {}
    for limit in LIMITS_MIB:
        run = subprocess.run(
            [str(EXE), "report", "--out", str(tmp_path / f"out{limit}"), str(script)],
            capture_output=True,
            timeout=TIMEOUT,
            preexec_fn=limited(limit),
        )
        assert ended_cleanly(run.returncode), (limit, run.returncode, run.stderr[-300:])
        if run.returncode == 1:
            assert run.stderr == b"veltrane: out of memory\n", (limit, run.stderr[-300:])
        else:
            assert run.returncode == 0, (limit, run.stderr[-300:])
        ends[limit] = run.returncode
    assert ends[LIMITS_MIB[0]] == 1
    assert ends[LIMITS_MIB[-1]] == 0


def post(port, path, body):
    """The status and body of one exchange; None when the server closed the connection.
    `body` is bytes, or a value sent as JSON."""
    if not isinstance(body, bytes):
        body = json.dumps(body).encode()
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=TIMEOUT)
    try:
        connection.request("POST", path, body=body)
        answer = connection.getresponse()
        return answer.status, answer.read()
    except (ConnectionError, http.client.HTTPException):
        return None
    finally:
        connection.close()


def read_until(stream, end, deadline):
    """The bytes of a pipe up to and including `end`, or what came until `deadline`."""
    got = b""
    while not got.endswith(end) and time.monotonic() < deadline:
        ready, _, _ = select.select([stream], [], [], deadline - time.monotonic())
        if not ready:
            break
        byte = os.read(stream.fileno(), 1)
        if not byte:
            break
        got += byte
    return got


OUT_OF_MEMORY_ANSWER = (503, b'{"error":"out of memory"}')


def server_under_limit(limit, path, body, command=("lab", "--port", "0", "--no-open"),
                       small=("/api/parse", {"source": "select 1 from dual;"})):
    """Runs a server under the address-space limit, posts `body` to `path`, checks that a
    small request is answered after it by the same process, and returns the first outcome
    (as `post` gives it) with the server's standard error. A failed first request must
    have been answered 503 with the JSON error, and have written the out-of-memory line."""
    server = subprocess.Popen(
        [str(EXE), *command],
        stdin=subprocess.DEVNULL,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE,
        preexec_fn=limited(limit),
    )
    errors = b""
    try:
        port = int(LAB_LINE.search(server.stderr.readline().decode()).group(1))
        first = post(port, path, body)
        # The next request is answered whatever became of the first.
        assert post(port, *small)[0] == 200, limit
        assert server.poll() is None, (limit, server.returncode)
    finally:
        server.terminate()
        errors += server.communicate(timeout=TIMEOUT)[1]
    if first is None or first[0] != 200:
        assert first == OUT_OF_MEMORY_ANSWER, (limit, first)
        assert b"request failed: out of memory\n" in errors, (limit, first, errors[-300:])
    return first, errors


def lab_under_limit(limit, path, body):
    return server_under_limit(limit, path, body)


@pytest.mark.parametrize(
    "path,body",
    [
        ("/api/parse", {"source": SOURCE}),
        ("/api/report", {"files": [{"name": "a.sql", "text": SOURCE}], "file": "report.json"}),
        ("/api/report", {"files": [{"name": "a.sql", "text": SOURCE}]}),
    ],
)
def test_lab_keeps_answering_after_out_of_memory(path, body):
    need_exe()
    failures = 0
    for limit in LIMITS_MIB:
        first, _ = lab_under_limit(limit, path, body)
        if first is None or first[0] != 200:
            failures += 1
    assert 0 < failures < len(LIMITS_MIB)


def test_test_page_answers_out_of_memory_and_keeps_serving():
    need_exe()
    outcomes = []
    for limit in LIMITS_MIB:
        first, _ = server_under_limit(limit, "/api/analyze", {"source": SOURCE},
                                      command=("serve", "--port", "0"),
                                      small=("/api/analyze", {"source": "select 1 from dual;"}))
        outcomes.append(first[0])
    assert 503 in outcomes and outcomes[-1] == 200, outcomes


# Bodies of about 60 MB whose only used member is a small script, and the lowest limit
# that lets the Lab answer them: an ignored array of 30 million numbers (a tree of it would
# take 17-32 bytes per body byte, 1-2 GB) and an ignored string of 60 million bytes (read
# once more while it is skipped).
PADDED_BODIES = {
    "array": (b'{"source":"select 1 from dual;","pad":[' + b"0," * 29_999_999 + b"0]}", 256),
    "string": (b'{"source":"select 1 from dual;","pad":"' + b"x" * 60_000_000 + b'"}', 400),
}


@pytest.mark.parametrize("pad", sorted(PADDED_BODIES))
def test_lab_reads_a_padded_body_in_about_the_memory_of_its_bytes(pad):
    need_exe()
    body, enough = PADDED_BODIES[pad]
    outcomes = {}
    for limit in LIMITS_MIB:
        first, _ = lab_under_limit(limit, "/api/parse", body)
        outcomes[limit] = None if first is None else first[0]
        if outcomes[limit] == 200:
            assert json.loads(first[1])["bytes"] == len("select 1 from dual;")
    assert outcomes[enough] == 200, outcomes
    assert 503 in outcomes.values(), outcomes


PYTHON_RUN = """
import resource, sys
import veltrane
limit = int(sys.argv[1])
resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
try:
    if sys.argv[2] == "report":
        veltrane.cli(["report", "--out", sys.argv[3], sys.argv[4]])
    else:
        veltrane.parse(open(sys.argv[4]).read(), tree=True)
    print("done")
except MemoryError:
    print("MemoryError")
"""


@pytest.mark.parametrize("function", ["report", "parse"])
def test_python_functions_raise_memory_error(tmp_path, function):
    pytest.importorskip("veltrane")
    script = tmp_path / "script.sql"
    script.write_text(SOURCE if function == "report" else "select a from t where b = 1;\n" * 60_000)
    outcomes = []
    for limit in LIMITS_MIB:
        run = subprocess.run(
            [sys.executable, "-c", PYTHON_RUN, str(limit * MIB), function, str(tmp_path / "out"),
             str(script)],
            capture_output=True,
            timeout=TIMEOUT,
        )
        assert run.returncode == 0, (limit, run.returncode, run.stderr[-300:])
        outcomes.append(run.stdout.strip())
    assert b"MemoryError" in outcomes
    assert outcomes[-1] == b"done"
