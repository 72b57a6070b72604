#pragma once

// Turning PATH arguments into the ordered list of input files, and reading one file as
// UTF-8 text. Folders are walked depth first in byte order and give only files with a
// SQL or PL/SQL extension; a file named directly is always taken.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane::cli {

class Output;

// Extensions taken from folders, compared after lower-casing.
inline constexpr std::array<std::string_view, 16> SQL_EXTENSIONS = {
    "sql", "pks", "pkb", "pls", "plb", "prc", "fnc", "trg",
    "tps", "tpb", "ddl", "bdy", "spc", "pck", "typ", "vw",
};

// One entry of the file list.
struct InputFile {
  // The path as the file system takes it (raw bytes, not necessarily UTF-8).
  std::string path;
  // The path as text for every message and output line: invalid UTF-8 replaced by U+FFFD.
  std::string name;
  // Set when the input is known to be unreadable before it is opened (a named PATH that
  // does not exist, is neither a regular file nor a folder, or holds a NUL byte): the
  // description printed after "{name}: " when the entry is reached.
  std::string problem;
  // False for such a named PATH that a plain extension test would have dropped: it is
  // reported and fails the run, but is not a file of the list (it does not count among
  // the files, and a list of only such entries is an empty list).
  bool listed = true;
  // Set for a named PATH that holds a NUL byte or is neither a regular file nor a folder
  // (a FIFO, a device): every command reports it when the entry is reached and fails the
  // run, so `lex` and `split` do not answer "no files" for it.
  bool named_unreadable = false;
};

// The last component of a path, trailing "/" and "." components not counting; none for a
// path without one (the root, a path ending in "..", the empty path).
[[nodiscard]] std::optional<std::string_view> file_name_of(std::string_view path);

// The text after the last "." of a file name; none when the name has no ".", or when its
// only "." is its first character.
[[nodiscard]] std::optional<std::string_view> extension_of(std::string_view file_name);

// True when the path's file name has an extension that, lower-cased, is one of
// SQL_EXTENSIONS. Lower-casing is Unicode lower-casing restricted to what can give an
// ASCII extension: ASCII letters and U+212A KELVIN SIGN (which lower-cases to "k").
[[nodiscard]] bool has_sql_extension(std::string_view path);

// A folder path joined with an entry name by "/" (no second "/" when the folder path
// already ends with one).
[[nodiscard]] std::string join_entry(std::string_view folder, std::string_view name);

// Orders paths component by component, each pair of components compared as byte strings,
// a prefix first. Stable.
void sort_paths(std::vector<std::string>& paths);

// Appends what is found at `path` to `files`: for a folder, its files with a SQL extension,
// walked depth first in sort_paths order, hidden entries (names beginning with ".")
// skipped; folders that cannot be opened, entries that cannot be read, entries that are
// neither regular files nor folders, and folders already on the walk's path (a symbolic
// link back to an ancestor) are passed over silently. For anything else (including a path
// whose status cannot be had), the path itself when it has a SQL extension. Returns the
// error number when `path` is a folder that cannot be opened, else 0.
int collect_files(std::string_view path, std::vector<InputFile>& files);

// The file list of the PATH arguments, in argument order; duplicates stay. A regular file
// named directly is taken whatever its name; anything else goes through collect_files,
// except named PATHs that cannot be read at all, which enter the list with a `problem`.
[[nodiscard]] std::vector<InputFile> expand_paths(std::span<const std::string> paths);

// "{system text} (os error {code})", the system text being the untranslated C library
// description of the error number.
[[nodiscard]] std::string os_error_text(int error_number);

struct SourceText {
  std::string text;
  // True when the file's bytes were valid UTF-8 as they stood.
  bool was_utf8 = true;
  // True when the bytes begin with a UTF-16 byte-order mark (FF FE or FE FF): the text is
  // not read as a script (see report::UTF16_TEXT_MESSAGE); it still gives the file's size.
  bool utf16 = false;
};

// Reads the whole file as UTF-8 text: invalid sequences each become one U+FFFD; no
// byte-order mark is removed. When the file cannot be read (it cannot be opened or read,
// it is not a regular file, or it or its decoded text is 2 GiB or more), writes
// "{name}: {description}\n" to standard error and returns none.
[[nodiscard]] std::optional<SourceText> read_source_file(const InputFile& file, Output& output);

}  // namespace veltrane::cli
