"""Scripts whose items hold an unterminated token: (script, [(statement, [(line, col, message)])])."""

WRAPPED = "create or replace procedure p wrapped\na000000\n/*\n/\ndrop table hr.x;\ngrant dba to public;\n"
UNTERMINATED = {
    "string": ("select 'a from dual;\nselect 1 from dual;\n", [("SelectStmt", [(1, 8, "unterminated string")])]),
    "q-quoted": ("select 1 from dual;\nselect q'[x;\n", [("SelectStmt", []), ("SelectStmt", [(2, 8, "unterminated q-quoted string")])]),
    "identifier": ('select "a\nfrom dual;\nselect 1;\n', [("SelectStmt", [(1, 8, "unterminated quoted identifier")]), ("SelectStmt", [])]),
    # A wrapped unit's text opens nothing past its "/" line: the statements after it stay.
    "wrapped": (WRAPPED, [("CreateProcedure", []), ("DropStmt", []), ("GrantStmt", [])]),
    # A comment opened after a terminator is in no item: its error is left out, as before.
    "after the terminator": ("select 1 from dual;\n/* x\nselect 2 from dual;\n", [("SelectStmt", [])]),
}


def listed(records):
    return [(r["statement"], [(e["line"], e["col"], e["message"]) for e in r["errors"]]) for r in records if "statement" in r]
