#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "syntax/deferred_head.hpp"

namespace veltrane::syntax {
namespace {

// A head written in pieces after what follows it, into room that is too small, exact or
// too large: the text is always what comes before, the head, then what follows.
TEST(DeferredHead, WritesTheHeadBeforeWhatFollowsWhateverTheRoom) {
  struct Case {
    const char* name;
    std::size_t room;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"no head, no room", 0, {}},
      {"no head, some room", 5, {""}},
      {"room to spare", 64, {"{\"a\":1,", "\"items\":["}},
      {"exact room", 16, {"{\"a\":1,", "\"items\":["}},
      {"first piece overflows", 3, {"{\"a\":1,", "\"items\":["}},
      {"second piece overflows", 10, {"{\"a\":1,", "\"items\":["}},
      {"no room at all", 0, {"{\"a\":1,", "", "\"items\":["}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    std::string out = "before|";
    DeferredHead head(out, test_case.room);
    out.append("items]}");
    std::string expected_head;
    for (const std::string& piece : test_case.pieces) {
      head.write(piece);
      expected_head += piece;
    }
    head.close();
    EXPECT_EQ(out, "before|" + expected_head + "items]}");
  }
}

}  // namespace
}  // namespace veltrane::syntax
