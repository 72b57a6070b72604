"""The scripts the corpus tests read: the corpus of real scripts beside the repository
(../shared/corpus) when it is there, else the scripts the repository holds itself (the .sql
files of tests/data and samples), so that a bare clone runs the same tests."""

import pathlib

REPO = pathlib.Path(__file__).resolve().parents[2]
SHARED_CORPUS = REPO.parent / "shared" / "corpus"
REPOSITORY_FOLDERS = (REPO / "tests" / "data", REPO / "samples")


def corpus_folders():
    """The folders to read: ../shared/corpus alone when it is there."""
    return [SHARED_CORPUS] if SHARED_CORPUS.is_dir() else list(REPOSITORY_FOLDERS)


def corpus_files():
    """Every file of ../shared/corpus in path order, else the repository's .sql files."""
    if SHARED_CORPUS.is_dir():
        return sorted(p for p in SHARED_CORPUS.rglob("*") if p.is_file())
    return [p for folder in REPOSITORY_FOLDERS for p in sorted(folder.rglob("*.sql")) if p.is_file()]


def which_corpus():
    """One line saying which set the corpus tests read."""
    if SHARED_CORPUS.is_dir():
        return f"corpus tests read {SHARED_CORPUS}"
    return f"corpus tests read the repository's scripts (tests/data, samples): no {SHARED_CORPUS}"
