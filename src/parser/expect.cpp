#include "parser/expect.hpp"

#include "parser/parser.hpp"

namespace veltrane::parser {

void expect_word(Parser& p, std::string_view word, std::string_view message) {
  if (!p.eat_word(word)) p.error(message);
}

}  // namespace veltrane::parser
