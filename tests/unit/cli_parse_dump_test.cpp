// `parse --dump` writes each statement's tree dump while it is made: what reaches standard
// output is the one-text dump of every statement, and a write that fails still fails the
// run with its reason said once.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.hpp"
#include "lexer/parse_options.hpp"
#include "lexer/script_splitter.hpp"
#include "parser/parse_entries.hpp"
#include "redirected.hpp"
#include "syntax/dump.hpp"

namespace veltrane::cli {
namespace {

namespace fs = std::filesystem;
using test_support::file_bytes;
using test_support::Redirected;

// `select a||a||...||a from dual;` with `links` operators.
std::string chain_statement(int links) {
  std::string text = "select a";
  for (int link = 0; link < links; ++link) text += "||a";
  text += " from dual;\n";
  return text;
}

// The one-text dump of every parsed item of `text`, each followed by an empty line.
std::string expected_dump(std::string_view text) {
  const lexer::SplitResult split = lexer::split_script(text);
  std::string dump;
  for (const lexer::ScriptItem& item : split.items) {
    const std::optional<parser::ParsedStatement> parsed =
        parser::parse_item(text, split, item, lexer::ParseOptions{});
    if (!parsed) continue;
    syntax::dump_tree(parsed->tree, parsed->tree.root, 0, text, dump);
    dump.push_back('\n');
  }
  return dump;
}

struct CliRun {
  uint8_t status = 0;
  std::string out;
  std::string err;
};

// Runs `veltrane parse --dump` over a file holding `script`, standard output going to
// `out_path` and standard error captured.
CliRun parse_dump(const std::string& script, const fs::path& out_path) {
  const fs::path folder =
      fs::temp_directory_path() / ("veltrane-parse-dump-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path script_path = folder / "script.sql";
  std::ofstream(script_path, std::ios::binary) << script;
  const fs::path err_path = folder / "err.txt";
  const int out_file = ::open(out_path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
  const int err_file = ::open(err_path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
  CliRun run;
  {
    const Redirected out(1, out_file);
    const Redirected err(2, err_file);
    const std::vector<std::string> args = {"parse", "--dump", script_path.string()};
    run.status = run_cli(args, false);
  }
  ::close(out_file);
  ::close(err_file);
  run.err = file_bytes(err_path);
  if (out_path != "/dev/full") run.out = file_bytes(out_path);
  fs::remove_all(folder);
  return run;
}

TEST(CliParseDump, StreamedDumpEqualsTheOneTextDump) {
  struct Case {
    std::string_view name;
    std::string script;
  };
  const Case cases[] = {
      {"one short statement", "select 1 from dual;\n"},
      {"chain of 2,000 links", chain_statement(2000)},
      {"several statements around chains", "select 1 from dual;\n" + chain_statement(700) +
                                               "begin\n  x := 'a\tb';\nend;\n/\n" +
                                               "prompt done\n" + chain_statement(900)},
      {"no statement", "prompt only a command\n"},
  };
  const fs::path out_path =
      fs::temp_directory_path() / ("veltrane-parse-dump-out-" + std::to_string(::getpid()));
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const CliRun run = parse_dump(test_case.script, out_path);
    EXPECT_EQ(run.status, STATUS_DONE);
    EXPECT_TRUE(run.out == expected_dump(test_case.script));
    EXPECT_EQ(run.err.find("cannot write"), std::string::npos);
  }
  fs::remove(out_path);
}

TEST(CliParseDump, AFailedWriteFailsTheRunAndIsSaidOnce) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  const CliRun run = parse_dump("select 1 from dual;\n" + chain_statement(1000), "/dev/full");
  EXPECT_EQ(run.status, STATUS_FAILED);
  const std::string_view line =
      "veltrane: cannot write standard output: No space left on device (os error 28)\n";
  EXPECT_EQ(run.err.substr(0, line.size()), line);
  EXPECT_EQ(run.err.find(line, 1), std::string::npos);
  // The statistics still follow.
  EXPECT_NE(run.err.find("1 files, 2 SQL statements"), std::string::npos);
}

}  // namespace
}  // namespace veltrane::cli
