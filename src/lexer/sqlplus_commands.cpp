#include "lexer/sqlplus_commands.hpp"

#include "syntax/unicode.hpp"

namespace veltrane::lexer {

using syntax::ascii_upper;

const SqlplusCommand* find_sqlplus_command(std::string_view word) {
  for (const SqlplusCommand& row : SQLPLUS_COMMANDS) {
    if (word.size() < row.min_length || word.size() > row.name.size()) continue;
    bool prefix = true;
    for (std::size_t i = 0; i < word.size(); ++i) {
      if (ascii_upper(word[i]) != row.name[i]) {
        prefix = false;
        break;
      }
    }
    if (prefix) return &row;
  }
  return nullptr;
}

}  // namespace veltrane::lexer
