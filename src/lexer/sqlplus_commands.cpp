#include "lexer/sqlplus_commands.hpp"

#include "lexer/script_lines.hpp"
#include "lexer/token_values.hpp"
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

std::optional<std::string> connect_user(std::string_view command) {
  std::size_t i = 0;
  while (i < command.size() && syntax::is_ascii_letter(command[i])) ++i;
  while (i < command.size() && is_blank_or_tab(command[i])) ++i;
  const std::string_view rest = command.substr(i);
  std::string user;
  if (!rest.empty() && rest.front() == '"') {
    const std::size_t close = rest.find('"', 1);
    if (close == std::string_view::npos) return std::nullopt;
    user = std::string(rest.substr(1, close - 1));
  } else {
    std::size_t end = 0;
    while (end < rest.size() && rest[end] != '/' && rest[end] != '@' &&
           !is_ascii_white_space(rest[end])) {
      ++end;
    }
    user = identifier_text(syntax::TokenKind::Ident, rest.substr(0, end));
  }
  if (user.empty() || user.find('&') != std::string::npos) return std::nullopt;
  return user;
}

}  // namespace veltrane::lexer
