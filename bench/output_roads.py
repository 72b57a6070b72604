#!/usr/bin/env python3
"""Memory and speed of the output roads: `veltrane report`, the Lab's /api/parse and
/api/report, and the C analysis, over generated pathological shapes and the corpus.

  memory  peak resident memory above the idle process, beside what is written: the goal is
          at most 1.5 times the bytes written plus 64 bytes per source byte.
  speed   whole process against whole process, every one pinned to the same core: the
          analysis (bench/analysis_host, which reads the files and calls the C `analyze`
          once per file) and `veltrane report` against `veltrane parse` of the same files.
          "warm": the three run back to back in turn, so that a change of the machine's load
          reaches all of them alike; "cold": parse and analysis each after a 3 s pause, for
          the corpus with the procedure of 132,000 assignments (every set with --cold-all).
          Each figure is the median and the minimum of --rounds runs (5), as wall time and
          as processor time (user and system) of the process: on a loaded machine a run
          waits for its core, which the processor time leaves out.

Usage: bench/output_roads.py {memory|speed} [--exe PATH] [--host PATH] [--corpus DIR]
                             [--core N] [--rounds N] [--goal-only] [--cold-all]
Each run works in a temporary folder; servers listen on 127.0.0.1 only."""

import argparse
import http.client
import json
import os
import pathlib
import re
import resource
import statistics
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


def pinned(arguments, args):
    """The command line that runs `args` on the one chosen core."""
    return ["taskset", "-c", str(arguments.core), *args]


def run_time(args):
    """Wall time and processor time (user and system) of one whole process."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime


def speed_lines(name, source, state, runs):
    """Two lines, wall time and processor time: for each program (parse first) the median and
    the minimum of its runs, and for the others their ratios to parse."""
    for clock, index in (("wall", 0), ("cpu", 1)):
        parse = [run[index] for run in runs[0][1]]
        parts = []
        for label, times in runs:
            times = [run[index] for run in times]
            part = f"{label} {statistics.median(times) * 1e3:7.1f} / {min(times) * 1e3:7.1f} ms"
            if label != "parse":
                part += (
                    f" ({statistics.median(times) / statistics.median(parse):4.2f}x"
                    f" / {min(times) / min(parse):4.2f}x)"
                )
            parts.append(part)
        head = f"{name:42} {source / 1e6:6.2f} MB  {state:4} {clock:4}  "
        print(head + "  ".join(parts), flush=True)


# The pause before each run of the cold measure.
COLD_PAUSE = 3.0


def run_speed(arguments, work):
    exe = arguments.exe
    host = arguments.host
    for program in (exe, host):
        if not pathlib.Path(program).exists():
            sys.exit(f"no program at {program}")
    sets = []
    files = corpus_files(arguments.corpus)
    if files:
        sets.append(("corpus", files))
    procedure = work / "procedure.sql"
    procedure.write_text(dict(SHAPES)["procedure of 132,000 assignments"]())
    goal_sets = {"corpus + procedure of 132,000 assignments"}
    sets.append(("corpus + procedure of 132,000 assignments", files + [procedure]))
    if not arguments.goal_only:
        for name, make in SHAPES:
            path = work / f"shape{len(sets)}.sql"
            path.write_text(make())
            sets.append((name, [path]))
    print(
        f"{arguments.rounds} rounds on core {arguments.core}; each figure: median / minimum; "
        "ratios to `parse`: of the medians / of the minima",
        flush=True,
    )
    for name, paths in sets:
        source = sum(p.stat().st_size for p in paths)
        names = [str(p) for p in paths]
        parse_run = pinned(arguments, [exe, "parse", *names])
        report_run = pinned(
            arguments,
            [exe, "report", "--out", str(work / "out"), "--format", "html,csv,json", *names],
        )
        analysis_run = pinned(arguments, [host, *names])
        parse, report, analysis = [], [], []
        for _ in range(arguments.rounds):
            parse.append(run_time(parse_run))
            report.append(run_time(report_run))
            analysis.append(run_time(analysis_run))
        runs = [("parse", parse), ("report", report), ("analysis", analysis)]
        speed_lines(name, source, "warm", runs)
        if name not in goal_sets and not arguments.cold_all:
            continue
        parse, analysis = [], []
        for _ in range(arguments.rounds):
            time.sleep(COLD_PAUSE)
            parse.append(run_time(parse_run))
            time.sleep(COLD_PAUSE)
            analysis.append(run_time(analysis_run))
        speed_lines(name, source, "cold", [("parse", parse), ("analysis", analysis)])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("mode", choices=["memory", "speed"])
    parser.add_argument("--exe", default=str(REPO / "build" / "release" / "veltrane"))
    parser.add_argument(
        "--host", default=str(REPO / "build" / "release" / "bench" / "analysis_host")
    )
    parser.add_argument("--core", type=int, default=max(os.sched_getaffinity(0)))
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--goal-only", action="store_true")
    parser.add_argument("--cold-all", action="store_true")
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
