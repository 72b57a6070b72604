"""`veltrane report` writes each output whole: an interrupted or failed run leaves every
earlier output whole, old or new, and no temporary file."""

import os
import pathlib
import resource
import signal
import subprocess

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
EXE = pathlib.Path(os.environ.get("VELTRANE_EXE", REPO / "build" / "release" / "veltrane"))
TIMEOUT = 120
# In the order the command writes them.
OUTPUTS = [
    "report.html",
    "files.csv",
    "statements.csv",
    "problems.csv",
    "tables.csv",
    "objects.csv",
    "report.json",
]


def report(folder, script, cwd, **popen):
    if not EXE.exists():
        pytest.skip(f"no executable at {EXE}")
    return subprocess.Popen(
        [str(EXE), "report", "--out", str(folder), str(script)],
        cwd=cwd,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE,
        **popen,
    )


def contents(folder):
    return {path.name: path.read_bytes() for path in folder.iterdir()}


@pytest.fixture(name="reports")
def fixture_reports(tmp_path):
    """An old report of a small script, and the whole new report of a large one."""
    old_script = tmp_path / "old.sql"
    old_script.write_text("create table t (a number);\nselect from t;\n")
    new_script = tmp_path / "new.sql"
    new_script.write_text(
        "".join(
            f"insert into orders_{i % 50} (id, name) values ({i}, 'the name of row {i}');\n"
            for i in range(60000)
        )
        + "create sequence s;\ninsert into s values (;\n"
    )
    for folder, script in [("old", old_script), ("new", new_script)]:
        done = report(tmp_path / folder, script, tmp_path)
        assert done.wait(TIMEOUT) == 0, done.stderr.read()
        done.stderr.close()
    old, new = contents(tmp_path / "old"), contents(tmp_path / "new")
    assert sorted(old) == sorted(new) == sorted(OUTPUTS)
    assert all(old[name] != new[name] for name in OUTPUTS)
    return tmp_path, new_script, old, new


def fresh_old_report(folder, old):
    folder.mkdir(exist_ok=True)
    for path in folder.iterdir():
        path.unlink()
    for name, data in old.items():
        (folder / name).write_bytes(data)


def first_change(folder, before):
    """The name of an output whose file changed since `before` (from file_states), or of a
    temporary file; None while there is none."""
    for entry in os.scandir(folder):
        if entry.name.endswith(".part") or before.get(entry.name) != file_state(entry):
            return entry.name
    return None


def file_state(entry):
    status = entry.stat()
    return (status.st_ino, status.st_size, status.st_mtime_ns)


def test_interrupted_run_leaves_every_output_whole(reports):
    tmp_path, new_script, old, new = reports
    folder = tmp_path / "out"
    # The interrupt must come while the outputs are written: the run is watched until a
    # file changes, and tried again in the rare case that none is seen to.
    for _ in range(20):
        fresh_old_report(folder, old)
        before = {entry.name: file_state(entry) for entry in os.scandir(folder)}
        process = report(folder, new_script, tmp_path)
        seen = None
        while seen is None and process.poll() is None:
            seen = first_change(folder, before)
        if seen is None:
            process.wait(TIMEOUT)
            process.stderr.close()
            continue
        process.send_signal(signal.SIGINT)
        assert process.wait(TIMEOUT) == -signal.SIGINT
        process.stderr.close()
        break
    else:
        pytest.fail("no run was seen writing its outputs")

    # The output being written when the signal came is finished and the run ends before the
    # next one: the outputs up to it are new, the rest old, and nothing else is there.
    written = next(
        i for i, name in enumerate(OUTPUTS) if seen == name or seen.startswith(f".{name}.")
    )
    after = contents(folder)
    assert sorted(after) == sorted(OUTPUTS)
    state = ["new" if after[name] == new[name] else "old" for name in OUTPUTS]
    assert all(after[name] in (old[name], new[name]) for name in OUTPUTS)
    new_count = state.count("new")
    assert new_count > written
    assert state == ["new"] * new_count + ["old"] * (len(OUTPUTS) - new_count)


def test_failed_write_leaves_every_output_whole_and_no_temporary_file(reports):
    tmp_path, new_script, old, new = reports
    folder = tmp_path / "out"
    fresh_old_report(folder, old)
    # Files may grow no larger than report.html: report.json, the last output, fails with
    # EFBIG (the signal the limit sends is ignored, as the child keeps it across exec).
    limit = len(new["report.html"])
    assert all(len(new[name]) <= limit for name in OUTPUTS[:-1])
    assert len(new["report.json"]) > limit

    def limit_file_size():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    process = report(folder, new_script, tmp_path, preexec_fn=limit_file_size)
    status = process.wait(TIMEOUT)
    err = process.stderr.read().decode("utf-8")
    process.stderr.close()
    assert (status, err) == (1, "veltrane report: report.json: File too large (os error 27)\n")
    after = contents(folder)
    assert sorted(after) == sorted(OUTPUTS)
    assert {name: after[name] == new[name] for name in OUTPUTS[:-1]} == dict.fromkeys(
        OUTPUTS[:-1], True
    )
    assert after["report.json"] == old["report.json"]
