#!/usr/bin/env python3
"""Memory and speed of the output roads: `veltrane report`, the Lab's /api/parse and
/api/report, and the C analysis, over generated pathological shapes and the corpus.

  memory  peak resident memory above the idle process, beside what is written: the goal is
          at most 1.5 times the bytes written plus 64 bytes per source byte.
  speed   the time of the report and of the analysis over the same files as a ratio to the
          time of `veltrane parse` (best of five runs each, the three taken in turn so that
          a change of the machine's load reaches all of them alike).

Usage: bench/output_roads.py {memory|speed} [--exe PATH] [--lib PATH] [--corpus DIR]
Each run works in a temporary folder; servers listen on 127.0.0.1 only."""

import argparse
import ctypes
import http.client
import json
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import time

REPO = pathlib.Path(__file__).resolve().parents[1]
LAB_LINE = re.compile(rb"http://127\.0\.0\.1:([0-9]+)/")
LAB_MAX_SOURCE = 20 * 1024 * 1024
KIB = 1024


def repeat(piece, count):
    return piece * count


# The shapes: name and text. The pathological shapes of the parse benchmark (at a tenth
# of their size), the shapes that were found to cost most memory per source byte, a
# realistic INSERT script and one procedure of 132,000 assignments.
SHAPES = [
    ("semicolons 2 MiB", lambda: ";" * (2 * 1024 * 1024)),
    ("concatenation chain", lambda: "select 1" + "||1" * 1_000_000 + " from dual;\n"),
    ("sum chain", lambda: "select a" + " + a" * 500_000 + " from t;\n"),
    (
        "200,000 inserts",
        lambda: "".join(
            f"insert into orders (id, customer, amount, note) values ({i}, 'customer {i}', "
            f"{i}.5, 'a note');\n"
            for i in range(200_000)
        ),
    ),
    (
        "procedure of 132,000 assignments",
        lambda: "create or replace procedure p is\n  x number := 0;\nbegin\n"
        + repeat("  x := x + 1;\n", 132_000)
        + "end;\n/\n",
    ),
    ("one long line", lambda: repeat("select a, b + 1 from t where c = 'x' and d in (1, 2); ", 90_000)),
    ("one-token statements", lambda: repeat("commit;\n", 100_000)),
    ("long string literal", lambda: "select '" + "a" * 1_000_000 + "' from dual;\n"),
    ("unclosed parentheses", lambda: "select " + "(" * 10_000 + "1 from dual;\n"),
    ("long unit", lambda: "begin\n" + repeat("  x := x + 1;\n", 10_000) + "end;\n/\n"),
]


def corpus_files(folder):
    return sorted(p for p in pathlib.Path(folder).rglob("*") if p.is_file())


def peak_of_run(args):
    """Peak resident memory (bytes) of one run of the executable, measured by GNU time: a
    child forked from this process would count this process's pages in its peak."""
    run = subprocess.run(
        ["/usr/bin/time", "-f", "%M", *args], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE
    )
    if run.returncode != 0:
        raise RuntimeError(f"{args[1]} ended with status {run.returncode}")
    return int(run.stderr.splitlines()[-1]) * KIB


def folder_size(folder):
    return sum(p.stat().st_size for p in pathlib.Path(folder).iterdir())


def status_field(pid, field):
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith(field + ":"):
            return int(line.split()[1]) * KIB
    raise RuntimeError(f"no {field}")


def lab_peak(exe, path, body):
    """Peak resident memory of a fresh Lab above its idle size, and the answer's length."""
    lab = subprocess.Popen(
        [exe, "lab", "--port", "0", "--no-open"],
        stdin=subprocess.DEVNULL,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE,
    )
    try:
        port = int(LAB_LINE.search(lab.stderr.readline()).group(1))
        idle = status_field(lab.pid, "VmRSS")
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=600)
        connection.request("POST", path, body=body)
        answer = connection.getresponse()
        written = len(answer.read())
        connection.close()
        if answer.status != 200:
            raise RuntimeError(f"{path} answered {answer.status}")
        return status_field(lab.pid, "VmHWM") - idle, written
    finally:
        lab.terminate()
        lab.wait()


def memory_line(road, name, source, peak, written):
    bound = 1.5 * written + 64 * source
    verdict = "ok" if peak <= bound else "OVER"
    print(
        f"{road:12} {name:34} source {source / 1e6:7.2f} MB  written {written / 1e6:8.1f} MB  "
        f"peak {peak / 1e6:8.1f} MB  {peak / max(source, 1):6.0f} B/src B  "
        f"bound {bound / 1e6:8.1f} MB  {verdict}",
        flush=True,
    )


def run_memory(arguments, work):
    exe = arguments.exe
    empty = work / "empty.sql"
    empty.write_text("")
    idle = peak_of_run([exe, "report", "--out", str(work / "idle"), str(empty)])
    shapes = [(name, make) for name, make in SHAPES]
    files = corpus_files(arguments.corpus)
    if files:
        largest = max(files, key=lambda p: p.stat().st_size)
        shapes.append((f"corpus: largest file", lambda: largest.read_bytes().decode("utf-8", "replace")))
    for name, make in shapes:
        text = make()
        source = len(text.encode())
        script = work / "shape.sql"
        script.write_text(text)
        out = work / "out"
        peak = peak_of_run([exe, "report", "--out", str(out), str(script)]) - idle
        memory_line("report", name, source, peak, folder_size(out))
        if source <= LAB_MAX_SOURCE:
            body = json.dumps({"name": "shape.sql", "source": text}).encode()
            memory_line("/api/parse", name, source, *lab_peak(exe, "/api/parse", body))
            body = json.dumps(
                {"files": [{"name": "shape.sql", "text": text}], "file": "report.json"}
            ).encode()
            memory_line("/api/report", name, source, *lab_peak(exe, "/api/report", body))
    if files:
        source = sum(p.stat().st_size for p in files)
        out = work / "out"
        peak = peak_of_run([exe, "report", "--out", str(out), *map(str, files)]) - idle
        memory_line("report", "corpus: every file", source, peak, folder_size(out))


def run_time(args):
    start = time.perf_counter()
    subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return time.perf_counter() - start


ANALYSIS_RUN = """
import ctypes, sys, time
library = ctypes.CDLL(sys.argv[1])
library.analyze.restype = ctypes.c_void_p
library.analyze.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p, ctypes.c_size_t]
texts = [open(path, "rb").read() for path in sys.argv[2:]]
start = time.perf_counter()
for text in texts:
    library.analyze(text, len(text), b"", 0)
print(time.perf_counter() - start)
"""


def analysis_run_time(lib, files):
    run = subprocess.run(
        [sys.executable, "-c", ANALYSIS_RUN, lib, *map(str, files)],
        capture_output=True,
        text=True,
        check=True,
    )
    return float(run.stdout)


ROUNDS = 5


def run_speed(arguments, work):
    exe = arguments.exe
    sets = []
    files = corpus_files(arguments.corpus)
    if files:
        sets.append(("corpus", files))
    procedure = work / "procedure.sql"
    procedure.write_text(dict(SHAPES)["procedure of 132,000 assignments"]())
    if files:
        sets.append(("corpus + procedure of 132,000 assignments", files + [procedure]))
    for name, make in SHAPES:
        path = work / f"shape{len(sets)}.sql"
        path.write_text(make())
        sets.append((name, [path]))
    for name, paths in sets:
        source = sum(p.stat().st_size for p in paths)
        arguments_of = [str(p) for p in paths]
        parse = report = analysis = float("inf")
        for _ in range(ROUNDS):
            parse = min(parse, run_time([exe, "parse", *arguments_of]))
            report = min(
                report,
                run_time(
                    [exe, "report", "--out", str(work / "out"), "--format", "html,csv,json",
                     *arguments_of]
                ),
            )
            if arguments.lib:
                analysis = min(analysis, analysis_run_time(arguments.lib, paths))
        if not arguments.lib:
            analysis = float("nan")
        print(
            f"{name:42} {source / 1e6:7.2f} MB  parse {parse * 1e3:7.1f} ms  "
            f"report {report * 1e3:7.1f} ms ({report / parse:5.2f}x)  "
            f"analysis {analysis * 1e3:7.1f} ms ({analysis / parse:5.2f}x)",
            flush=True,
        )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("mode", choices=["memory", "speed"])
    parser.add_argument("--exe", default=str(REPO / "build" / "release" / "veltrane"))
    parser.add_argument("--lib", default=str(REPO / "build" / "release" / "libveltrane.so"))
    parser.add_argument("--corpus", default=str(REPO.parent / "shared" / "corpus"))
    arguments = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        work = pathlib.Path(folder)
        if arguments.mode == "memory":
            run_memory(arguments, work)
        else:
            run_speed(arguments, work)


if __name__ == "__main__":
    main()
