"""Says at the end of a run which set of scripts the corpus tests read."""

from corpus_scripts import which_corpus


def pytest_terminal_summary(terminalreporter):
    terminalreporter.write_line(which_corpus())
