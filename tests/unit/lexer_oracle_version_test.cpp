#include <gtest/gtest.h>

#include <string_view>

#include "lexer/oracle_version.hpp"

namespace veltrane::lexer {
namespace {

struct VersionCase {
  std::string_view text;
  bool valid;
  uint16_t major;
  uint16_t minor;
  std::string_view shown;
};

constexpr VersionCase VERSION_CASES[] = {
    {"19c", true, 19, 0, "19c"},    {"19C", true, 19, 0, "19c"},
    {" 19c ", true, 19, 0, "19c"},  {"\u00a019c\u3000", true, 19, 0, "19c"},
    {"19", true, 19, 0, "19c"},     {"21c", true, 21, 0, "21c"},
    {"19.3", true, 19, 3, "19c"},   {"12.2", true, 12, 2, "12.2"},
    {"12c", true, 12, 0, "12.0"},   {"11.2.0.4", true, 11, 2, "11.2"},
    {"23ai", true, 23, 0, "23ai"},  {"23.4", true, 23, 4, "23ai"},
    {"26ai", true, 23, 26, "26ai"}, {"26", true, 23, 26, "26ai"},
    {"26AI", true, 23, 26, "26ai"}, {"23.26", true, 23, 26, "26ai"},
    {"26.1", true, 26, 1, "26ai"},  {"26c", true, 26, 0, "26ai"},
    {"26.0", true, 26, 0, "26ai"},  {"30", true, 30, 0, "30ai"},
    {"+19", true, 19, 0, "19c"},    {"0019", true, 19, 0, "19c"},
    {"12.+2", true, 12, 2, "12.2"}, {"65535.65535", true, 65535, 65535, "65535ai"},
    {"", false, 0, 0, ""},          {"   ", false, 0, 0, ""},
    {"c", false, 0, 0, ""},         {"ai", false, 0, 0, ""},
    {"x", false, 0, 0, ""},         {"19.x", false, 0, 0, ""},
    {"70000", false, 0, 0, ""},     {"65536", false, 0, 0, ""},
    {"1..2", false, 0, 0, ""},      {"12.", false, 0, 0, ""},
    {"++19", false, 0, 0, ""},      {"-19", false, 0, 0, ""},
    {"+", false, 0, 0, ""},         {"19 c", false, 0, 0, ""},
    {"19cai", false, 0, 0, ""},
};

TEST(OracleVersion, ReadAndShow) {
  for (const VersionCase& version_case : VERSION_CASES) {
    SCOPED_TRACE(testing::PrintToString(std::string(version_case.text)));
    const std::optional<OracleVersion> version = parse_oracle_version(version_case.text);
    ASSERT_EQ(version.has_value(), version_case.valid);
    if (!version) continue;
    EXPECT_EQ(version->major, version_case.major);
    EXPECT_EQ(version->minor, version_case.minor);
    EXPECT_EQ(format_version(*version), version_case.shown);
  }
}

TEST(OracleVersion, DefaultAndOrder) {
  EXPECT_EQ(format_version(OracleVersion{}), "26ai");
  // Major first: a packed value (minor in the high half) would order these the other way.
  EXPECT_LT((OracleVersion{12, 2}), (OracleVersion{19, 0}));
  EXPECT_LT((OracleVersion{19, 0}), (OracleVersion{19, 3}));
  EXPECT_GT((OracleVersion{23, 26}), (OracleVersion{23, 4}));
  EXPECT_EQ(parse_version_number("7"), (OracleVersion{7, 0}));
  EXPECT_FALSE(parse_version_number("1.2.3").has_value());
}

}  // namespace
}  // namespace veltrane::lexer
