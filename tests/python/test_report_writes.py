"""An interrupted or failed `veltrane report` leaves every output whole, old or new."""

import os
import pathlib
import resource
import signal
import subprocess

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
EXE = pathlib.Path(os.environ.get("VELTRANE_EXE", REPO / "build" / "release" / "veltrane"))
# In the order the command writes them.
OUTPUTS = ["report.html", "files.csv", "statements.csv", "problems.csv", "tables.csv"]
OUTPUTS += ["objects.csv", "report.json"]


def report(folder, script, **popen):
    if not EXE.exists():
        pytest.skip(f"no executable at {EXE}")
    command = [str(EXE), "report", "--out", str(folder), str(script)]
    return subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, **popen)


@pytest.fixture(name="reports")
def fixture_reports(tmp_path):
    """The old report of a small script in `out`; the outputs of both reports."""
    (tmp_path / "old.sql").write_text("create table t (a number);\nselect from t;\n")
    rows = "".join(f"insert into t{i % 50} (id, name) values ({i}, 'row');\n" for i in range(60000))
    (tmp_path / "new.sql").write_text(rows + "create sequence s;\ninsert into s values (;\n")
    outputs = {}
    for name in ["old", "new"]:
        assert report(tmp_path / name, tmp_path / f"{name}.sql").wait(120) == 0
        outputs[name] = {path.name: path.read_bytes() for path in (tmp_path / name).iterdir()}
    assert all(outputs["old"][name] != outputs["new"][name] for name in OUTPUTS)
    (tmp_path / "old").rename(tmp_path / "out")
    return tmp_path, outputs["old"], outputs["new"]


def states(folder, old, new):
    """"old", "new" or "cut" for each output, in order; the folder holds nothing else."""
    assert sorted(os.listdir(folder)) == sorted(OUTPUTS)
    found = {name: (folder / name).read_bytes() for name in OUTPUTS}
    return [{old[name]: "old", new[name]: "new"}.get(found[name], "cut") for name in OUTPUTS]


def test_interrupted_run_leaves_every_output_whole(reports):
    tmp_path, old, new = reports
    folder = tmp_path / "out"
    before = {entry.name: entry.stat().st_mtime_ns for entry in os.scandir(folder)}
    process = report(folder, tmp_path / "new.sql")
    # The interrupt comes as soon as an output changes or a temporary file shows.
    changed = []
    while not changed and process.poll() is None:
        changed = [e.name for e in os.scandir(folder) if e.stat().st_mtime_ns != before.get(e.name)]
    process.send_signal(signal.SIGINT)
    assert changed and process.wait(120) == -signal.SIGINT
    # The output being written then is finished, and the run ends before the next one.
    # (".NAME.PID.part" is the temporary file of NAME.)
    name = changed[0][1:].rsplit(".", 2)[0] if changed[0].endswith(".part") else changed[0]
    written = OUTPUTS.index(name)
    found = states(folder, old, new)
    assert found == ["new"] * found.count("new") + ["old"] * found.count("old")
    assert found.count("new") > written


def test_failed_write_leaves_every_output_whole_and_no_temporary_file(reports):
    tmp_path, old, new = reports
    # No file may grow past the size of report.html, so report.json, the last output,
    # fails with EFBIG (the signal the limit sends is ignored, across the exec too).
    limit = len(new["report.html"])
    assert max(len(new[name]) for name in OUTPUTS[:-1]) <= limit < len(new["report.json"])

    def limit_file_size():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    process = report(tmp_path / "out", tmp_path / "new.sql", preexec_fn=limit_file_size)
    assert process.wait(120) == 1
    assert process.stderr.read() == b"veltrane report: report.json: File too large (os error 27)\n"
    assert states(tmp_path / "out", old, new) == ["new"] * 6 + ["old"]
