#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "syntax/string_room.hpp"

namespace veltrane::syntax {
namespace {

// Mapping the room after a text, whether it sits in the string itself, in one page or in
// many, and whether the text ends on a page or not, keeps the text and the room, and the
// whole room can be written.
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
    map_for_writing(out.data() + out.size(), out.capacity() - out.size());
    EXPECT_EQ(out, std::string(test_case.text, 'a'));
    EXPECT_EQ(out.capacity(), capacity);
    EXPECT_EQ(out.data(), data);
    out.append(capacity - out.size(), 'b');
    EXPECT_EQ(out.size(), capacity);
    EXPECT_EQ(out.find('b'), test_case.text == capacity ? std::string::npos : test_case.text);
  }
}

// An output written in pieces of every size behind a room mapper, into fresh or reused room
// and past its reserved room (where it moves to a new buffer), holds exactly its pieces.
TEST(StringRoom, OutputBehindARoomMapperHoldsItsPieces) {
  struct Case {
    const char* name;
    bool fresh;
    std::size_t reserved;
    std::vector<std::size_t> pieces;
  };
  constexpr std::size_t STEP = RoomMapper::STEP;
  const Case cases[] = {
      {"fresh, small pieces", true, 3 * STEP, {1, 100, 5000, 4096, 7}},
      {"fresh, pieces across steps", true, 3 * STEP, {STEP - 1, 2, STEP, STEP / 2}},
      {"fresh, grows past its room", true, 4096, {3000, STEP, 2 * STEP + 5}},
      {"reused room", false, 2 * STEP, {10, STEP, 100}},
      {"no room reserved", true, 0, {0, 1, 65536}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    std::string out;
    out.reserve(test_case.reserved);
    RoomMapper mapper(out, test_case.fresh);
    std::string expected;
    char fill = 'a';
    for (const std::size_t piece : test_case.pieces) {
      reserve_more(out, piece);
      mapper.ahead(piece);
      out.append(piece, fill);
      expected.append(piece, fill);
      fill = fill == 'z' ? 'a' : static_cast<char>(fill + 1);
    }
    EXPECT_EQ(out, expected);
  }
}

}  // namespace
}  // namespace veltrane::syntax
