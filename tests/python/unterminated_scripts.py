"""Scripts whose items hold an unterminated token, with what each face lists of their parsed
items: (statement, [(line, col, message) of each error]). A crafted wrapped unit hides what
follows it; a comment after a terminator is in no item and is left out."""

WRAPPED = "create or replace procedure p wrapped\na000000\n/*\n/\ndrop table hr.x;\ngrant dba to public;\n"
UNTERMINATED = {
    "string": ("select 'a from dual;\nselect 1 from dual;\n", [("SelectStmt", [(1, 8, "unterminated string")])]),
    "q-quoted": ("select 1 from dual;\nselect q'[x;\n", [("SelectStmt", []), ("SelectStmt", [(2, 8, "unterminated q-quoted string")])]),
    "identifier": ('select "a\nfrom dual;\nselect 1;\n', [("SelectStmt", [(1, 8, "unterminated quoted identifier")]), ("SelectStmt", [])]),
    "wrapped": (WRAPPED, [("CreateProcedure", [(3, 1, "unterminated comment")])]),
    "after the terminator": ("select 1 from dual;\n/* x\nselect 2 from dual;\n", [("SelectStmt", [])]),
}


def listed(records):
    return [(r["statement"], [(e["line"], e["col"], e["message"]) for e in r["errors"]]) for r in records if "statement" in r]
