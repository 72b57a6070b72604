#include <gtest/gtest.h>

#include <string>

#include "syntax/string_room.hpp"

namespace veltrane::syntax {
namespace {

// Mapping the room of a text, whether it sits in the string itself, in one page or in many,
// and whether the text ends on a page or not, keeps the text and the room, and the whole
// room can be written.
TEST(StringRoom, MappingTheRoomKeepsTheTextAndTheRoom) {
  struct Case {
    const char* name;
    std::size_t text;
    std::size_t room;
  };
  const Case cases[] = {
      {"empty string", 0, 0},
      {"short text in the string itself", 5, 0},
      {"text and room in one page", 100, 1000},
      {"text ending on a page", 4096, 3 * 4096},
      {"room of many pages", 10, 4 * 1024 * 1024},
      {"full: no room", 70000, 0},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    std::string out(test_case.text, 'a');
    out.reserve(test_case.text + test_case.room);
    const std::size_t capacity = out.capacity();
    const char* const data = out.data();
    map_room(out);
    EXPECT_EQ(out, std::string(test_case.text, 'a'));
    EXPECT_EQ(out.capacity(), capacity);
    EXPECT_EQ(out.data(), data);
    out.append(capacity - out.size(), 'b');
    EXPECT_EQ(out.size(), capacity);
    EXPECT_EQ(out.find('b'), test_case.text == capacity ? std::string::npos : test_case.text);
  }
}

}  // namespace
}  // namespace veltrane::syntax
