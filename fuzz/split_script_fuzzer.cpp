// split_script over any input: tokens and command spans cover the text exactly once, the
// items are in order and agree with their tokens, and no statement token is lost.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_checks.hpp"
#include "lexer/script_splitter.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace veltrane;
  fuzz::run_checked([&] {
    const std::string text = fuzz::input_text(data, size);
    const lexer::SplitResult split = lexer::split_script(text);
    fuzz::check_split(text, split);
  });
  return 0;
}
