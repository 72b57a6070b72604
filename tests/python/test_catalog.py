"""The `catalog` command over the cases in tests/cli/catalog, and once through `cli`."""

import os
import pathlib
import subprocess

import pytest
from corpus_scripts import corpus_folders

import veltrane._native as native

REPO = pathlib.Path(__file__).resolve().parents[2]
EXE = pathlib.Path(os.environ.get("VELTRANE_EXE", REPO / "build" / "release" / "veltrane"))
CASES = REPO / "tests" / "cli" / "catalog"
TIMEOUT = 120


def case_args(case):
    """The arguments after the command word: one per line of the case's args file."""
    return (case / "args").read_text(encoding="utf-8").split("\n")[:-1]


def expected(case):
    return (
        int((case / "status").read_text(encoding="utf-8")),
        (case / "stdout").read_text(encoding="utf-8"),
        (case / "stderr").read_text(encoding="utf-8"),
    )


@pytest.mark.parametrize("case", sorted(p for p in CASES.iterdir() if p.is_dir()), ids=lambda p: p.name)
def test_case(case):
    if not EXE.exists():
        pytest.skip(f"no executable at {EXE}")
    done = subprocess.run(
        [str(EXE), "catalog", *case_args(case)], cwd=case, capture_output=True, timeout=TIMEOUT, check=False
    )
    assert (done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")) == expected(case)


def test_through_the_python_cli(capfd, monkeypatch):
    case = CASES / "two_files"
    monkeypatch.chdir(case)
    status = native.cli(["catalog", *case_args(case)])
    out, err = capfd.readouterr()
    assert (status, out, err) == expected(case)


def test_corpus():
    if not EXE.exists():
        pytest.skip("no executable")
    folders = [str(folder) for folder in corpus_folders()]
    done = subprocess.run([str(EXE), "catalog", *folders], capture_output=True, timeout=TIMEOUT, check=False)
    assert done.returncode == 0
    last = done.stderr.decode("utf-8").splitlines()[-1]
    assert last.endswith(" files") and " objects, " in last
    assert done.stdout.decode("utf-8").count("\n") > 0
