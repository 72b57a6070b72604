// The objects a statement names: every place a table, view or other object can stand, the
// names that are not tables (WITH queries, collection expressions, table functions, the
// object a CREATE makes, event targets of triggers), the normal form of the names and the
// walk over very deep trees.

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/conditional_compilation.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "syntax/kinds.hpp"
#include "syntax/tree.hpp"
#include "views/referenced_tables.hpp"

namespace {

using veltrane::lexer::ScriptItemKind;
using veltrane::lexer::Token;
using veltrane::syntax::NodeKind;
using veltrane::syntax::syntax_kind;
using veltrane::syntax::TokenKind;
using veltrane::views::referenced_tables;
using Names = std::vector<std::string>;

// The referenced tables of every statement and unit of a script, one list per item.
std::vector<Names> tables_per_item(const std::string& text) {
  const auto split = veltrane::lexer::split_script(text);
  const veltrane::lexer::ParseOptions options{};
  std::vector<Names> result;
  for (const auto& item : split.items) {
    const auto parsed = veltrane::parser::parse_item(text, split, item, options);
    if (parsed) result.push_back(referenced_tables(parsed->tree, text));
  }
  return result;
}

struct Case {
  const char* name;
  const char* script;  // one statement or unit
  Names tables;
};

const Case CASES[] = {
    // Names and their normal form.
    {"dual", "select 1 from dual;", {"DUAL"}},
    {"schema and alias", "select * from hr.emp e;", {"HR.EMP"}},
    {"database link", "select * from emp@remote;", {"EMP@REMOTE"}},
    {"quoted part keeps its case", "select * from hr.\"Emp\";", {"HR.Emp"}},
    {"full upper-case mapping", "select * from straße;", {"STRASSE"}},
    {"substitution glued to the name", "select * from &schema.orders;", {"&SCHEMA.ORDERS"}},
    {"name glued to a substitution", "select * from emp_&sfx;", {"EMP_&SFX"}},
    {"substitution, dot, name", "select * from &owner..emp;", {"&OWNER..EMP"}},
    {"repeats kept in order", "select * from t, t;", {"T", "T"}},

    // Queries.
    {"joins",
     "select * from a join b on a.x = b.x left join c using (y), d;",
     {"A", "B", "C", "D"}},
    {"subqueries anywhere",
     "select (select 1 from c) from d where exists (select 1 from e) and x in (select x from f);",
     {"C", "D", "E", "F"}},
    {"derived table and lateral",
     "select * from (select * from a) s, lateral (select * from b);",
     {"A", "B"}},
    {"not collections or table functions",
     "select * from table(f(x)), pkg.fn(1) f, table(select c from g);",
     {"G"}},
    {"only", "select * from only (v);", {"V"}},
    {"with queries in scope",
     "with x as (select * from a), y as (select * from x) select * from y, z, hr.x;",
     {"A", "Z", "HR.X"}},
    {"with query out of scope",
     "select * from (with x as (select 1 from dual) select * from x), x;",
     {"DUAL", "X"}},
    {"with query of an inner query, then a sibling and an outer scope",
     "with o as (select 1 from dual) select * from (with x as (select * from o) select * "
     "from x) a, (select * from x, o) b where exists (with o as (select 2 from p) select * "
     "from o) and c in (select * from o);",
     {"DUAL", "X", "P"}},
    {"a recursive with query names itself",
     "with r (n) as (select 1 from dual union all select n + 1 from r) select * from r;",
     {"DUAL"}},
    {"quoted reference to a with query",
     "with q as (select 1 from dual) select * from \"Q\";",
     {"DUAL"}},

    // DML.
    {"insert select", "insert into t (a) select a from s;", {"T", "S"}},
    {"multi-table insert",
     "insert all into a values (1) into b values (2) log errors into err select 1 from dual;",
     {"A", "B", "ERR", "DUAL"}},
    {"conditional insert",
     "insert first when x > 1 then into a else into c select x from s;",
     {"A", "C", "S"}},
    {"update with subqueries and error log",
     "update t set a = (select 1 from u) where b in (select b from v) log errors into e2;",
     {"T", "U", "V", "E2"}},
    {"delete", "delete from t where x = 1;", {"T"}},
    {"merge from a table",
     "merge into t using s on (t.id = s.id) when matched then update set v = 1;",
     {"T", "S"}},
    {"merge from a subquery",
     "merge into t using (select * from s) q on (1 = 1) when matched then update set v = 1;",
     {"T", "S"}},
    {"lock table", "lock table emp, hr.dept in exclusive mode;", {"EMP", "HR.DEPT"}},

    // DDL and other statements.
    {"truncate table", "truncate table s.t drop storage;", {"S.T"}},
    {"truncate cluster", "truncate cluster c;", {}},
    {"alter table references",
     "alter table t add constraint fk foreign key (b) references p (id);",
     {"T", "P"}},
    {"create table references",
     "create table t (a number references p, constraint fk foreign key (a) references q.r@l (id));",
     {"P", "Q.R@L"}},
    {"create table as select", "create table t2 as select * from src;", {"SRC"}},
    {"create view", "create or replace view v as select * from base;", {"BASE"}},
    {"create materialized view", "create materialized view mv as select * from base2;", {"BASE2"}},
    {"create index on a table", "create index i on hr.t (a);", {"HR.T"}},
    {"create index on a cluster", "create index i on cluster c;", {}},
    {"create synonym", "create public synonym s for hr.emp;", {"HR.EMP"}},
    {"create sequence", "create sequence s;", {}},
    {"comment on table", "comment on table emp is 'x';", {"EMP"}},
    {"comment on column", "comment on column hr.emp.sal is 'x';", {"HR.EMP"}},
    {"comment on materialized view", "comment on materialized view mv is 'x';", {"MV"}},
    {"comment on operator", "comment on operator op is 'x';", {}},
    {"explain plan", "explain plan set statement_id = 'a' for select * from t;", {"T"}},
    {"plain-token statements", "drop table t;", {}},
    {"grant", "grant select on t to u;", {}},

    // PL/SQL units.
    {"trigger on a table",
     "create or replace trigger trg before insert on hr.emp for each row\n"
     "begin insert into log_t values (1); end;\n/\n",
     {"HR.EMP", "LOG_T"}},
    {"trigger on the database",
     "create trigger t2 after logon on database begin null; end;\n/\n",
     {}},
    {"trigger on a schema",
     "create trigger t3 after create on hr.schema begin null; end;\n/\n",
     {}},
    {"trigger on a nested table of a view",
     "create trigger t4 instead of insert on nested table items of order_view\n"
     "begin null; end;\n/\n",
     {"ORDER_VIEW"}},
    {"trigger follows another trigger",
     "create trigger t5 before update on emp follows other_trg begin null; end;\n/\n",
     {"EMP"}},
    {"procedure with cursors and embedded sql",
     "create or replace procedure p is\n"
     "  cursor c is select * from a;\n"
     "begin\n"
     "  for r in (select * from b) loop update c set x = 1; end loop;\n"
     "  open rc for select * from d;\n"
     "  select x into y from e;\n"
     "  commit;\n"
     "end;\n/\n",
     {"A", "B", "C", "D", "E"}},
    {"anonymous block",
     "begin delete from t; merge into u using v on (1 = 1)"
     " when matched then update set x = 1; end;\n/\n",
     {"T", "U", "V"}},
};

TEST(ReferencedTables, NamesOfEachStatement) {
  for (const Case& test_case : CASES) {
    SCOPED_TRACE(test_case.name);
    const std::vector<Names> items = tables_per_item(test_case.script);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0], test_case.tables);
  }
}

TEST(ReferencedTables, EmptyTree) {
  EXPECT_TRUE(referenced_tables(veltrane::syntax::Tree{}, "").empty());
}

// A chain of a million nested queries with one table at the bottom: the walk keeps its own
// stack, so the depth costs memory, not the thread's stack.
TEST(ReferencedTables, MillionLevelsDeep) {
  constexpr int DEPTH = 1'000'000;
  const std::string text = "t";
  veltrane::syntax::TreeBuilder builder;
  builder.start_node(syntax_kind(NodeKind::SelectStmt));
  for (int level = 0; level < DEPTH; ++level) builder.start_node(syntax_kind(NodeKind::Query));
  builder.start_node(syntax_kind(NodeKind::TableRef));
  builder.start_node(syntax_kind(NodeKind::NameRef));
  builder.token(syntax_kind(TokenKind::Ident), 0, 1);
  builder.finish_node();
  builder.finish_node();
  for (int level = 0; level < DEPTH; ++level) builder.finish_node();
  builder.finish_node();
  const veltrane::syntax::Tree tree = std::move(builder).finish();
  EXPECT_EQ(referenced_tables(tree, text), Names{"T"});
}

}  // namespace
