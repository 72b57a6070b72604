"""Oracle SQL, PL/SQL and SQL*Plus script analysis without a database."""

from veltrane._native import cli, parse, split, tokenize, version

__all__ = ["tokenize", "split", "parse", "cli", "version"]
