// The file-name and extension rule, path ordering, the folder walk and file reading.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/input_files.hpp"
#include "cli/output.hpp"
#include "syntax/tree.hpp"

namespace veltrane::cli {
namespace {

namespace fs = std::filesystem;

struct NameCase {
  const char* path;
  std::optional<std::string_view> file_name;
  bool sql;
};

const NameCase NAME_CASES[] = {
    {"a.b.sql", "a.b.sql", true},
    {"d/x.SQL", "x.SQL", true},
    {"x.sql/", "x.sql", true},
    {"x.sql/.", "x.sql", true},
    {"x.sql//./", "x.sql", true},
    {"d/x.sql/..", std::nullopt, false},
    {"/", std::nullopt, false},
    {"", std::nullopt, false},
    {".", std::nullopt, false},
    {".sql", ".sql", false},
    {"d/.x.pkb", ".x.pkb", true},
    {"x.", "x.", false},
    {"x.sqll", "x.sqll", false},
    {"Makefile", "Makefile", false},
    {"x.Vw", "x.Vw", true},
    {"x.p\xE2\x84\xAAs", "x.p\xE2\x84\xAAs", true},  // KELVIN SIGN lower-cases to "k"
    {"x.\xC4\xB0", "x.\xC4\xB0", false},             // no other non-ASCII gives ASCII
    {"x.s\xFFql", "x.s\xFFql", false},
};

TEST(CliFiles, FileNameAndExtension) {
  for (const NameCase& test : NAME_CASES) {
    SCOPED_TRACE(test.path);
    EXPECT_EQ(file_name_of(test.path), test.file_name);
    EXPECT_EQ(has_sql_extension(test.path), test.sql);
  }
  for (const std::string_view extension : SQL_EXTENSIONS) {
    SCOPED_TRACE(extension);
    EXPECT_TRUE(has_sql_extension("f." + std::string(extension)));
  }
  EXPECT_EQ(extension_of(".sql"), std::nullopt);
  EXPECT_EQ(extension_of("a.b.sql"), "sql");
  EXPECT_EQ(extension_of("noext"), std::nullopt);
}

TEST(CliFiles, SortPathsComparesComponents) {
  std::vector<std::string> paths = {"D/a.sql", "D/a_b.sql", "D/a/z.sql", "D/\xC3\xA9.sql",
                                    "D/B.sql", "D/a",       "D//a"};
  sort_paths(paths);
  const std::vector<std::string> expected = {"D/B.sql", "D/a",       "D//a",          "D/a/z.sql",
                                             "D/a.sql", "D/a_b.sql", "D/\xC3\xA9.sql"};
  EXPECT_EQ(paths, expected);
  EXPECT_EQ(join_entry("D", "a"), "D/a");
  EXPECT_EQ(join_entry("D/", "a"), "D/a");
}

// A fresh folder under the system's temporary folder, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "veltrane-cli-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  [[nodiscard]] std::string path(std::string_view relative) const {
    return root_ + "/" + std::string(relative);
  }
  void file(std::string_view relative, std::string_view content = "select 1 from dual;\n") const {
    const fs::path target = path(relative);
    fs::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << content;
  }

 private:
  std::string root_;
};

std::vector<std::string> names_under(const std::vector<InputFile>& files, std::string_view root) {
  std::vector<std::string> names;
  for (const InputFile& file : files) {
    std::string name = file.name;
    if (name.compare(0, root.size(), root) == 0) name.erase(0, root.size());
    names.push_back(name);
  }
  return names;
}

TEST(CliFiles, WalkOrderAndSkips) {
  TempFolder folder;
  for (const char* name : {"D/A.SQL", "D/B.sql", "D/a/z.sql", "D/a.sql", "D/x.p\xE2\x84\xAAs",
                           "D/.hidden.sql", "D/.git/x.sql", "D/notes.txt", "D/b.Pkb"}) {
    folder.file(name);
  }
  fs::create_symlink("..", folder.path("D/a/up"));  // a loop back to D
  fs::create_symlink("nowhere.sql", folder.path("D/a/dangling.sql"));
  ASSERT_EQ(::mkfifo(folder.path("D/a/pipe.sql").c_str(), 0600), 0);

  const std::string root = folder.path("");
  const std::vector<std::string> args = {folder.path("D")};
  const std::vector<InputFile> files = expand_paths(args);
  const std::vector<std::string> expected = {"D/A.SQL", "D/B.sql", "D/a/dangling.sql",  "D/a/z.sql",
                                             "D/a.sql", "D/b.Pkb", "D/x.p\xE2\x84\xAAs"};
  EXPECT_EQ(names_under(files, root), expected);
  for (const InputFile& file : files) {
    EXPECT_TRUE(file.listed);
    EXPECT_TRUE(file.problem.empty());
  }
}

TEST(CliFiles, NamedPaths) {
  TempFolder folder;
  folder.file("D/notes.txt");
  folder.file("D/.git/x.sql");
  folder.file("f.sql");
  ASSERT_EQ(::mkfifo(folder.path("pipe.sql").c_str(), 0600), 0);
  folder.file("D/bad\xFF.sql");

  const std::string root = folder.path("");
  const std::vector<std::string> args = {
      folder.path("D/notes.txt"), folder.path("D/.git"),   folder.path("missing.sql"),
      folder.path("missing"),     folder.path("pipe.sql"), std::string("x\0.sql", 6),
      folder.path("f.sql/x.sql"), folder.path("D"),        folder.path("D/notes.txt")};
  const std::vector<InputFile> files = expand_paths(args);

  struct Expected {
    std::string name;
    std::string problem;
    bool listed;
  };
  const std::vector<Expected> expected = {
      {"D/notes.txt", "", true},
      {"D/.git/x.sql", "", true},
      {"missing.sql", "", true},
      {"missing", "No such file or directory (os error 2)", false},
      {"pipe.sql", "not a regular file", true},
      {std::string("x\0.sql", 6), "path contains a NUL byte", true},
      {"f.sql/x.sql", "", true},
      {"D/bad\xEF\xBF\xBD.sql", "", true},
      {"D/notes.txt", "", true},
  };
  const std::vector<std::string> names = names_under(files, root);
  ASSERT_EQ(files.size(), expected.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(names[i], expected[i].name);
    EXPECT_EQ(files[i].problem, expected[i].problem);
    EXPECT_EQ(files[i].listed, expected[i].listed);
  }
  EXPECT_EQ(files[7].path, folder.path("D/bad\xFF.sql"));
}

// Sends standard error to a file while alive and hands back what was written.
class CapturedStandardError {
 public:
  CapturedStandardError() {
    std::string pattern = (fs::temp_directory_path() / "veltrane-err-XXXXXX").string();
    capture_ = ::mkstemp(pattern.data());
    name_ = pattern;
    saved_ = ::dup(2);
    ::dup2(capture_, 2);
  }
  ~CapturedStandardError() {
    restore();
    ::unlink(name_.c_str());
  }
  std::string text() {
    restore();
    std::ifstream in(name_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    ::dup2(saved_, 2);
    ::close(saved_);
    ::close(capture_);
    saved_ = -1;
  }
  int capture_ = -1;
  int saved_ = -1;
  std::string name_;
};

struct ReadCase {
  const char* name;
  std::string_view bytes;
  std::string_view text;
  bool was_utf8;
};

const ReadCase READ_CASES[] = {
    {"valid UTF-8", "select '\xC3\xA9';", "select '\xC3\xA9';", true},
    {"empty file", "", "", true},
    {"byte-order mark kept", "\xEF\xBB\xBFx", "\xEF\xBB\xBFx", true},
    {"CRLF kept", "a\r\nb", "a\r\nb", true},
    {"one bad byte",
     "a\xFF"
     "b",
     "a\xEF\xBF\xBD"
     "b",
     false},
    {"maximal subparts",
     "\xF0\x90\x80"
     "A\xED\xA0\x80",
     "\xEF\xBF\xBD"
     "A\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
     false},
    {"lone lead byte at the end", "x\xC3", "x\xEF\xBF\xBD", false},
};

TEST(CliFiles, ReadSourceFile) {
  TempFolder folder;
  Output output;
  for (const ReadCase& test : READ_CASES) {
    SCOPED_TRACE(test.name);
    folder.file("f.sql", test.bytes);
    InputFile file{folder.path("f.sql"), folder.path("f.sql"), "", true};
    const std::optional<SourceText> source = read_source_file(file, output);
    ASSERT_TRUE(source.has_value());
    EXPECT_EQ(source->text, test.text);
    EXPECT_EQ(source->was_utf8, test.was_utf8);
  }
}

TEST(CliFiles, UnreadableFilesAreReported) {
  TempFolder folder;
  folder.file("f.sql");
  const std::string big = folder.path("big.sql");
  {
    // Sparse: no disk space is used, and the size alone refuses it before any read.
    const int descriptor = ::open(big.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(::ftruncate(descriptor, static_cast<off_t>(syntax::MAX_TEXT_BYTES)), 0);
    ::close(descriptor);
  }
  const std::vector<InputFile> files = {
      {"nope.sql", "nope.sql", "", true},
      {big, "big.sql", "", true},
      {folder.path("f.sql") + "/x.sql", "f.sql/x.sql", "", true},
      {"missing", "missing", "No such file or directory (os error 2)", false},
  };
  CapturedStandardError captured;
  {
    Output output;
    for (const InputFile& file : files) EXPECT_FALSE(read_source_file(file, output).has_value());
  }
  EXPECT_EQ(captured.text(),
            "nope.sql: No such file or directory (os error 2)\n"
            "big.sql: file too large (2 GiB or more)\n"
            "f.sql/x.sql: Not a directory (os error 20)\n"
            "missing: No such file or directory (os error 2)\n");
}

}  // namespace
}  // namespace veltrane::cli
