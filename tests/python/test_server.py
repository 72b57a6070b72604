"""The local servers over loopback: `veltrane lab` and `veltrane serve` as processes, their
start lines, ports, answer heads, routes, limits and failures. Every socket operation has a
timeout, every read loop a bound, and every server is stopped with SIGTERM."""

import concurrent.futures
import io
import json
import os
import pathlib
import re
import select
import signal
import socket
import stat
import subprocess
import time
import zipfile

import pytest
from unterminated_scripts import UNTERMINATED, listed

REPO = pathlib.Path(__file__).resolve().parents[2]
EXE = pathlib.Path(os.environ.get("VELTRANE_EXE", REPO / "build" / "release" / "veltrane"))
TIMEOUT = 30
LAB_LINE = re.compile(
    r"^Veltrane Lab: http://127\.0\.0\.1:([1-9][0-9]*)/  \(only on this machine; Ctrl\+C to stop\)$"
)
SERVE_LINE = re.compile(r"^Veltrane test page: http://127\.0\.0\.1:([1-9][0-9]*)/  \(Ctrl\+C to stop\)$")
CSP = (
    "Content-Security-Policy: default-src 'self'; style-src 'self' 'unsafe-inline'; "
    "script-src 'self' 'unsafe-inline'; img-src 'self' data: blob:"
)
NOT_A_VERSION = " is not an Oracle version (12.2, 19c, 21c, 23ai, 26ai...)"
SAMPLE_TITLES = [
    "Data warehouse tables (DDL)",
    "Package: load dimensions",
    "INSERT ALL into several tables",
    "Dynamic SQL in anonymous blocks",
    "Queries: analytics, PIVOT, MATCH_RECOGNIZE",
]


def need_exe():
    if not EXE.exists():
        pytest.skip(f"no executable at {EXE}")


def read_line(stream, deadline):
    """One line from a pipe, waiting at most until `deadline`."""
    line = b""
    while not line.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0:
            break
        ready, _, _ = select.select([stream], [], [], left)
        if not ready:
            break
        byte = os.read(stream.fileno(), 1)
        if not byte:
            break
        line += byte
    return line.decode("utf-8", "replace")


class Server:
    """A `veltrane` server process; the port comes from its start line."""

    def __init__(self, *args, env=None):
        need_exe()
        self.process = subprocess.Popen(
            [str(EXE), *args],
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.PIPE,
            env=env,
        )
        self.first_line = read_line(self.process.stderr, time.monotonic() + TIMEOUT).rstrip("\n")
        match = LAB_LINE.match(self.first_line) or SERVE_LINE.match(self.first_line)
        self.port = int(match.group(1)) if match else None
        self.rest = ""

    def stop(self):
        """Stops the server and returns what it wrote on standard error after the start line."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            _, err = self.process.communicate(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            _, err = self.process.communicate(timeout=TIMEOUT)
        self.rest += err.decode("utf-8", "replace")
        return self.rest

    def __enter__(self):
        if self.port is None:
            self.stop()
            pytest.fail(f"no start line: {self.first_line!r} {self.rest!r}")
        return self

    def __exit__(self, *exc):
        self.stop()


def lab(*args, env=None):
    return Server("lab", "--port", "0", "--no-open", *args, env=env)


def serve():
    return Server("serve", "--port", "0")


def exchange(port, raw, shut=False):
    """Sends raw bytes and reads everything until the server closes."""
    with socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT) as sock:
        sock.settimeout(TIMEOUT)
        if raw:
            try:
                sock.sendall(raw)
            except (ConnectionResetError, BrokenPipeError):
                # The server may close while bytes it will never read are still on
                # their way; whatever it answered before is still to be read.
                pass
        if shut:
            try:
                sock.shutdown(socket.SHUT_WR)
            except OSError:
                pass
        chunks = []
        for _ in range(100_000):
            try:
                chunk = sock.recv(1 << 16)
            except ConnectionResetError:
                break
            if not chunk:
                break
            chunks.append(chunk)
        return b"".join(chunks)


def split_answer(answer):
    head, _, body = answer.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    return lines[0], lines[1:], body


def request(port, method, path, body=None, headers=()):
    raw = f"{method} {path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n"
    for header in headers:
        raw += header + "\r\n"
    data = b""
    if body is not None:
        data = body if isinstance(body, bytes) else json.dumps(body).encode("utf-8")
        raw += f"Content-Type: application/json\r\nContent-Length: {len(data)}\r\n"
    return split_answer(exchange(port, raw.encode("utf-8") + b"\r\n" + data))


def chain(terms):
    return "select " + "1||" * (terms - 1) + "1 from dual"


# Start lines and ports


def test_lab_start_line_shows_the_bound_port():
    with lab() as server:
        assert LAB_LINE.match(server.first_line)
        status, _, body = request(server.port, "GET", "/")
        assert status == "HTTP/1.1 200 OK"
        assert body.startswith(b"<!doctype html>")
        assert b"<title>Veltrane Lab</title>" in body


def listeners(ports):
    """Sockets listening on 127.0.0.1 at each port that is free; ports already taken stay taken."""
    held = []
    for port in ports:
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            sock.bind(("127.0.0.1", port))
            sock.listen(1)
            held.append(sock)
        except OSError:
            sock.close()
    return held


@pytest.mark.parametrize(
    "args, message",
    [
        ([], "veltrane lab: port 8790 is busy (and the next 19)\n"),
        (["--port", "abc"], "veltrane lab: port 8790 is busy (and the next 19)\n"),
        (["--port"], "veltrane lab: port 8790 is busy (and the next 19)\n"),
        (["--port=8000"], "veltrane lab: port 8790 is busy (and the next 19)\n"),
        (["--port", "+8795"], "veltrane lab: port 8795 is busy (choose another with --port)\n"),
    ],
    ids=["default", "bad value", "missing value", "equals form", "plus sign"],
)
def test_lab_busy_ports(args, message):
    need_exe()
    held = listeners(range(8790, 8810))
    try:
        done = subprocess.run(
            [str(EXE), "lab", "--no-open", *args], capture_output=True, timeout=TIMEOUT, check=False
        )
    finally:
        for sock in held:
            sock.close()
    assert (done.returncode, done.stdout, done.stderr.decode()) == (1, b"", message)


def test_lab_chosen_port_busy():
    need_exe()
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen(1)
        port = taken.getsockname()[1]
        done = subprocess.run(
            [str(EXE), "lab", "--no-open", "--port", str(port)],
            capture_output=True,
            timeout=TIMEOUT,
            check=False,
        )
    assert done.returncode == 1
    assert done.stderr.decode() == f"veltrane lab: port {port} is busy (choose another with --port)\n"


def test_serve_port_busy():
    need_exe()
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen(1)
        port = taken.getsockname()[1]
        done = subprocess.run(
            [str(EXE), "serve", "--port", str(port)], capture_output=True, timeout=TIMEOUT, check=False
        )
    assert done.returncode == 1
    assert done.stderr.decode() == (
        f"cannot listen on 127.0.0.1:{port}: Address already in use (os error 98)\n"
    )


def stand_in_browser(tmp_path):
    """A folder holding an `xdg-open` that records its arguments, and the record's path."""
    folder = tmp_path / "bin"
    folder.mkdir()
    record = tmp_path / "opened.txt"
    script = folder / "xdg-open"
    script.write_text(f'#!/bin/sh\nprintf "%s\\n" "$@" > "{record}.tmp" && mv "{record}.tmp" "{record}"\n')
    script.chmod(script.stat().st_mode | stat.S_IXUSR)
    env = dict(os.environ, PATH=f"{folder}{os.pathsep}{os.environ.get('PATH', '')}")
    return env, record


def test_lab_starts_the_browser_on_its_address(tmp_path):
    env, record = stand_in_browser(tmp_path)
    with Server("lab", "--port", "0", env=env) as server:
        for _ in range(200):
            if record.exists():
                break
            time.sleep(0.05)
        assert record.read_text() == f"http://127.0.0.1:{server.port}/\n"


@pytest.mark.parametrize("args", [["--no-open"], ["--port", "0", "--no-open"], ["--no-open", "x"]])
def test_lab_no_open_starts_no_browser(tmp_path, args):
    env, record = stand_in_browser(tmp_path)
    with Server("lab", "--port", "0", *args, env=env) as server:
        assert request(server.port, "GET", "/api/samples")[0] == "HTTP/1.1 200 OK"
        time.sleep(0.5)
        assert not record.exists()


# Lab answers


def test_samples_head_byte_for_byte():
    with lab() as server:
        answer = exchange(server.port, b"GET /api/samples HTTP/1.1\r\nHost: localhost\r\n\r\n")
    head, _, body = answer.partition(b"\r\n\r\n")
    assert head.decode().split("\r\n") == [
        "HTTP/1.1 200 OK",
        "Content-Type: application/json",
        f"Content-Length: {len(body)}",
        "Cache-Control: no-store",
        "X-Content-Type-Options: nosniff",
        CSP,
        "Connection: close",
    ]
    samples = json.loads(body)
    assert [sample["name"] for sample in samples] == SAMPLE_TITLES
    assert all(sorted(sample) == ["name", "text"] for sample in samples)


@pytest.mark.parametrize(
    "host, status",
    [
        ("localhost:8790", "200 OK"),
        ("localhost", "200 OK"),
        ("127.0.0.1:8790", "200 OK"),
        ("127.0.0.1", "200 OK"),
        ("[::1]:8790", "200 OK"),
        ("LOCALHOST:8790", "403 Forbidden"),
        ("example:8790", "403 Forbidden"),
        ("127.0.0.1.x:80", "403 Forbidden"),
        ("", "403 Forbidden"),
        ("[::1]", "403 Forbidden"),
    ],
)
def test_host_check(host, status):
    with lab() as server:
        line, _, body = split_answer(
            exchange(server.port, f"GET / HTTP/1.1\r\nHost: {host}\r\n\r\n".encode())
        )
    assert line == "HTTP/1.1 " + status
    if status != "200 OK":
        assert body == b"Veltrane Lab answers on 127.0.0.1 only"


@pytest.mark.parametrize(
    "method, path",
    [("GET", "/api/parse"), ("POST", "/"), ("get", "/"), ("GET", "/index.html?x=1"), ("GET", "/favicon.ico")],
)
def test_unknown_routes(method, path):
    with lab() as server:
        assert request(server.port, method, path) == (
            "HTTP/1.1 404 Not Found",
            [
                "Content-Type: text/plain",
                "Content-Length: 9",
                "Cache-Control: no-store",
                "X-Content-Type-Options: nosniff",
                CSP,
                "Connection: close",
            ],
            b"not found",
        )


def test_parse_worked_example():
    with lab() as server:
        status, _, body = request(server.port, "POST", "/api/parse", {"source": "select * from dual;\n"})
    assert status == "HTTP/1.1 200 OK"
    result = json.loads(body)
    assert result["classes"] == [[0, 6, "kw"], [7, 8, "op"], [9, 13, "kw"], [14, 18, "id"]]
    assert (result["bytes"], result["lines"], result["name"], result["version"]) == (20, 1, "input.sql", "26ai")
    (item,) = result["items"]
    assert (item["s"], item["e"], item["tree"]["k"]) == (0, 18, "SelectStmt")


def test_parse_lists_and_counts_the_lexer_error_an_item_holds():
    with lab() as server:
        for name, (script, items) in UNTERMINATED.items():
            result = json.loads(request(server.port, "POST", "/api/parse", {"source": script})[2])
            assert (name, listed(result["items"]), result["counts"]["with_errors"]) == (name, items, sum(bool(e) for _, e in items))


@pytest.mark.parametrize("version", ["7", "19.x", "nine"])
def test_version_errors_in_both_forms(version):
    with lab() as server:
        parse = request(server.port, "POST", "/api/parse", {"source": "select 1", "version": version})
        report = request(server.port, "POST", "/api/report", {"version": version})
    assert parse[0] == "HTTP/1.1 200 OK"
    assert json.loads(parse[2]) == {"error": version + NOT_A_VERSION}
    assert report[0] == "HTTP/1.1 400 Bad Request"
    assert "Content-Type: text/plain" in report[1]
    assert report[2].decode() == version + NOT_A_VERSION


def test_body_that_is_not_json_reads_as_null():
    with lab() as server:
        status, _, body = request(server.port, "POST", "/api/parse", b"{not json")
    assert status == "HTTP/1.1 200 OK"
    result = json.loads(body)
    assert (result["bytes"], result["items"], result["name"]) == (0, [], "input.sql")


def test_body_limit_is_checked_before_reading():
    with lab() as server:
        answer = exchange(
            server.port, b"POST /api/parse HTTP/1.1\r\nHost: localhost\r\nContent-Length: 67108865\r\n\r\n"
        )
        assert split_answer(answer)[0] == "HTTP/1.1 413 Payload Too Large"
        assert split_answer(answer)[2] == b"larger than 64 MiB"
        assert request(server.port, "GET", "/")[0] == "HTTP/1.1 200 OK"


def test_source_over_twenty_mebibytes_is_refused():
    source = "-" * (20 * 1024 * 1024 + 1)
    with lab() as server:
        status, _, body = request(server.port, "POST", "/api/parse", {"source": source})
    assert status == "HTTP/1.1 413 Payload Too Large"
    assert body == b"a file larger than 20 MiB: use veltrane report for it"


def test_a_deep_chain_is_answered_whole():
    with lab() as server:
        status, _, body = request(server.port, "POST", "/api/parse", {"source": chain(1_000_000)})
        assert request(server.port, "GET", "/api/samples")[0] == "HTTP/1.1 200 OK"
    assert status == "HTTP/1.1 200 OK"
    # Python's own JSON reader recurses per level: look at the ends only.
    assert body.startswith(b'{"bytes":3000015,')
    assert body.endswith(b',"name":"input.sql","version":"26ai"}')


def test_report_archive():
    with lab() as server:
        files = {"files": [{"name": "a.sql", "text": "select 1 from dual;\n"}, {"name": "b.sql", "text": "select from;"}]}
        first = request(server.port, "POST", "/api/report", files)
        second = request(server.port, "POST", "/api/report", files)
    status, head, body = first
    assert status == "HTTP/1.1 200 OK"
    assert "Content-Type: application/zip" in head
    assert 'Content-Disposition: attachment; filename="veltrane-report.zip"' in head
    assert body == second[2]
    with zipfile.ZipFile(io.BytesIO(body)) as archive:
        entries = archive.infolist()
        assert len(entries) == 7
        for entry in entries:
            assert (entry.create_version, entry.external_attr) == (20, 0x81A40000)
        assert archive.testzip() is None
        # The page knows that its CSV files are beside it in the archive.
        page = next(entry for entry in entries if entry.filename.endswith("report.html"))
        assert b"const CSV_BESIDE = true;" in archive.read(page)


@pytest.mark.parametrize(
    "file, content_type",
    [
        ("files.csv", "text/csv; charset=utf-8"),
        ("report.html", "text/html; charset=utf-8"),
        ("report.json", "application/json"),
    ],
)
def test_report_files_by_name(file, content_type):
    with lab() as server:
        status, head, body = request(server.port, "POST", "/api/report", {"file": file, "files": {"a": 1}})
    assert status == "HTTP/1.1 200 OK"
    assert f"Content-Type: {content_type}" in head
    assert f'Content-Disposition: attachment; filename="{file}"' in head
    if file == "report.json":
        assert json.loads(body)["files"] == []
    if file == "report.html":
        assert b"const CSV_BESIDE = false;" in body


def test_unknown_report_file():
    with lab() as server:
        assert request(server.port, "POST", "/api/report", {"file": "nope.txt"})[2] == b"no such report file"


def test_twenty_concurrent_parses_get_their_own_answers():
    with lab() as server:

        def parse(i):
            name = f"file{i}.sql"
            source = f"select {i} from t{i};\n" * (i + 1)
            status, _, body = request(server.port, "POST", "/api/parse", {"name": name, "source": source})
            return i, status, json.loads(body)

        with concurrent.futures.ThreadPoolExecutor(max_workers=20) as pool:
            results = list(pool.map(parse, range(20)))
    for i, status, result in results:
        assert status == "HTTP/1.1 200 OK"
        assert result["name"] == f"file{i}.sql"
        assert len(result["items"]) == i + 1
        assert result["items"][0]["tables"] == [f"T{i}"]


def test_head_too_large_gets_no_answer_and_the_server_goes_on():
    with lab() as server:
        answer = exchange(server.port, b"GET / HTTP/1.1\r\nX-Long: " + b"a" * (2 * 1024 * 1024) + b"\r\n\r\n")
        assert answer == b""
        assert request(server.port, "GET", "/")[0] == "HTTP/1.1 200 OK"
        err = server.stop()
    assert "request failed: request head too large\n" in err


def test_client_that_closes_at_once_and_a_silent_client():
    with lab() as server:
        with socket.create_connection(("127.0.0.1", server.port), timeout=TIMEOUT):
            pass
        assert exchange(server.port, b"", shut=True).startswith(b"HTTP/1.1 404 Not Found\r\n")
        with socket.create_connection(("127.0.0.1", server.port), timeout=TIMEOUT) as silent:
            silent.settimeout(TIMEOUT)
            assert request(server.port, "GET", "/api/samples")[0] == "HTTP/1.1 200 OK"
        assert request(server.port, "GET", "/")[0] == "HTTP/1.1 200 OK"


def test_short_body_gets_no_answer():
    with lab() as server:
        answer = exchange(
            server.port,
            b'POST /api/parse HTTP/1.1\r\nHost: localhost\r\nContent-Length: 50\r\n\r\n{"source":',
            shut=True,
        )
        assert answer == b""
        assert request(server.port, "GET", "/")[0] == "HTTP/1.1 200 OK"
        err = server.stop()
    assert "request failed: request body ended early\n" in err


# Bounded connections


def test_declared_lengths_cost_no_memory_before_their_bytes():
    head = b"POST /api/parse HTTP/1.1\r\nContent-Length: 67108864\r\n\r\n{"
    with lab() as server:
        status = pathlib.Path(f"/proc/{server.process.pid}/status")
        resident_kib = lambda: int(re.search(r"VmRSS:\s+(\d+)", status.read_text()).group(1))
        before = resident_kib()
        held = [socket.create_connection(("127.0.0.1", server.port), timeout=TIMEOUT) for _ in range(8)]
        for sock in held:
            sock.sendall(head)
        time.sleep(1)  # lets every exchange reach its body
        grown = resident_kib() - before
        for sock in held:
            sock.close()
    assert grown < 32 * 1024  # buffers of the declared length would take 512 MiB


@pytest.mark.parametrize("start, path", [(lab, "/api/parse"), (serve, "/api/analyze")])
def test_requests_from_other_sites_are_refused(start, path):
    with start() as server:
        port = server.port

        def post(*headers):
            return request(port, "POST", path, {"source": "select 1 from dual"}, headers=headers)[::2]

        for origin in ["http://evil.example", f"http://127.0.0.1:{port % 65535 + 1}", "null"]:
            # Refused before any work: the declared body is not even waited for.
            head = f"POST {path} HTTP/1.1\r\nOrigin: {origin}\r\nContent-Length: 10\r\n\r\n"
            answer = split_answer(exchange(port, head.encode()))
            assert answer[::2] == ("HTTP/1.1 403 Forbidden", b"requests from other sites are refused")
        for origin in [f"http://127.0.0.1:{port}", f"http://localhost:{port}", f"http://[::1]:{port}"]:
            assert post(f"Origin: {origin}")[0] == "HTTP/1.1 200 OK"
        assert post()[0] == "HTTP/1.1 200 OK"


@pytest.mark.parametrize("start, path", [(lab, "/api/parse"), (serve, "/api/analyze")])
def test_a_closed_standard_error_leaves_the_server_serving(start, path):
    with start() as server:
        server.process.stderr.close()
        # Each short body ends with a "request failed" line that no one reads any more.
        for _ in range(3):
            short = f"POST {path} HTTP/1.1\r\nContent-Length: 9\r\n\r\n{{".encode()
            assert exchange(server.port, short, shut=True) == b""
        assert request(server.port, "GET", "/")[0] == "HTTP/1.1 200 OK"
        assert server.process.poll() is None


# The test page


def test_serve_start_line_and_analysis_for_any_host():
    with serve() as server:
        assert SERVE_LINE.match(server.first_line)
        data = b'{"source":"select 1 from dual"}'
        head = f"POST /api/analyze HTTP/1.1\r\nHost: example:1\r\nContent-Length: {len(data)}\r\n\r\n"
        answer = exchange(server.port, head.encode() + data)
    status, head, body = split_answer(answer)
    assert status == "HTTP/1.1 200 OK"
    assert head == [
        "Content-Type: application/json",
        f"Content-Length: {len(body)}",
        "Cache-Control: no-store",
        "Connection: close",
    ]
    result = json.loads(body)
    assert sorted(result) == ["diagnostics", "items", "lines", "micros", "version"]
    assert isinstance(result["micros"], int) and result["micros"] >= 0
    assert list(result) == sorted(result)


def test_serve_limits_and_routes():
    with serve() as server:
        too_large = exchange(server.port, b"POST /api/analyze HTTP/1.1\r\nContent-Length: 52428801\r\n\r\n")
        assert split_answer(too_large)[0] == "HTTP/1.1 413 Payload Too Large"
        assert split_answer(too_large)[2] == b"the source is larger than 50 MiB"
        for method, path in [("GET", "/api/analyze"), ("POST", "/"), ("GET", "/index.htm")]:
            assert request(server.port, method, path)[2] == b"not found"
        status, _, page = request(server.port, "GET", "/index.html")
        assert status == "HTTP/1.1 200 OK"
        assert b"<title>Veltrane Playground</title>" in page


def test_serve_answers_a_deep_chain_whole():
    with serve() as server:
        status, _, body = request(server.port, "POST", "/api/analyze", {"source": chain(1_000_000)})
    assert status == "HTTP/1.1 200 OK"
    assert body.startswith(b'{"diagnostics":[],"items":[{')
    assert re.search(rb',"lines":1,"micros":[0-9]+,"version":"26ai"\}$', body)


def test_serve_default_port_when_the_value_is_bad():
    need_exe()
    with socket.socket() as probe:
        try:
            probe.bind(("127.0.0.1", 8765))
        except OSError:
            pytest.skip("port 8765 is taken")
    with Server("serve", "--port", "x") as server:
        assert server.port == 8765


def test_python_cli_does_not_offer_serve(capfd):
    native = pytest.importorskip("veltrane._native")
    assert native.cli(["serve"]) == 2
    err = capfd.readouterr().err
    assert err.startswith("usage: veltrane lex")
    assert "veltrane serve" not in err
