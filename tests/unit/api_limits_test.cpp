// Size and depth limits of the analysis, on a thread with a 1 MiB stack: left-nested
// chains a million levels deep through the whole road (parse, tables, catalog,
// package specifications, resolution, result writer), read back with an iterative parser; and
// inputs past the 2 GiB limit, before and after their decoding, refused without a copy.

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "limits_scale.hpp"
#include "small_stack.hpp"
#include "veltrane/veltrane.h"

namespace {

// Reduced builds run a tenth of the sizes and skip the gigabyte inputs.
constexpr std::size_t SCALE = veltrane::test_support::LIMITS_REDUCED ? 10 : 1;

// Counts nesting as the iterative SAX parser reports it; keeps no values.
struct DepthCounter : nlohmann::json::json_sax_t {
  std::size_t depth = 0;
  std::size_t deepest = 0;
  std::size_t values = 0;

  bool open() {
    deepest = std::max(deepest, ++depth);
    return true;
  }
  bool close() {
    --depth;
    return true;
  }
  bool null() override { return ++values, true; }
  bool boolean(bool) override { return ++values, true; }
  bool number_integer(number_integer_t) override { return ++values, true; }
  bool number_unsigned(number_unsigned_t) override { return ++values, true; }
  bool number_float(number_float_t, const string_t&) override { return ++values, true; }
  bool string(string_t&) override { return ++values, true; }
  bool binary(binary_t&) override { return ++values, true; }
  bool start_object(std::size_t) override { return open(); }
  bool key(string_t&) override { return true; }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(); }
  bool end_array() override { return close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }
};

std::string analyze_text(std::string_view sql) {
  const uint8_t* result =
      analyze(reinterpret_cast<const uint8_t*>(sql.data()), sql.size(), nullptr, 0);
  return {reinterpret_cast<const char*>(result), result_len()};
}

TEST(AnalyzeLimits, DeepChainsOnASmallStack) {
  struct Case {
    const char* name;
    std::string sql;
    std::size_t min_depth;
  };
  const std::size_t terms = 1'000'000 / SCALE;
  const std::size_t branches = 100'000 / SCALE;
  std::string concat = "select 1";
  for (std::size_t i = 1; i < terms; ++i) concat += "||1";
  concat += " from dual;";
  std::string union_all = "select 1 from dual";
  for (std::size_t i = 1; i < branches; ++i) union_all += " union all select 1 from dual";
  union_all += ";";
  std::string block = "begin x := 1";
  for (std::size_t i = 1; i < terms / 2; ++i) block += "+1";
  block += "; end;\n/\n";
  const Case cases[] = {
      {"a || chain", concat, terms},
      {"a UNION ALL chain", union_all, branches},
      {"a + chain inside PL/SQL", block, terms / 2},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    std::string result;
    ASSERT_TRUE(
        veltrane::test_support::run_on_small_stack([&] { result = analyze_text(test_case.sql); }));
    EXPECT_TRUE(result.ends_with(R"("lines":1,"version":"26ai"})") ||
                result.ends_with(R"("lines":3,"version":"26ai"})"));
    DepthCounter counter;
    bool parsed = false;
    ASSERT_TRUE(veltrane::test_support::run_on_small_stack(
        [&] { parsed = nlohmann::json::sax_parse(result, &counter); }));
    EXPECT_TRUE(parsed);
    EXPECT_GE(counter.deepest, test_case.min_depth);
  }
}

#ifndef VELTRANE_LIMITS_REDUCED

// A read-only anonymous mapping: pages never written read as zeros and cost no memory.
class Mapping {
 public:
  explicit Mapping(std::size_t size, int protection = PROT_READ) : size_(size) {
    void* at = mmap(nullptr, size, protection, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    data_ = at == MAP_FAILED ? nullptr : static_cast<uint8_t*>(at);
  }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
  ~Mapping() {
    if (data_ != nullptr) munmap(data_, size_);
  }
  [[nodiscard]] uint8_t* data() const { return data_; }

 private:
  std::size_t size_;
  uint8_t* data_;
};

TEST(AnalyzeLimits, TextsOfTwoGibibytesAreRefused) {
  const std::string refusal =
      R"j({"diagnostics":[{"col":1,"end":0,"line":1,"message":"text too large (2 GiB or more)",)j"
      R"("severity":"error","start":0}],"items":[],"lines":1,"version":"26ai"})";
  struct Case {
    const char* name;
    std::size_t size;
    int fill;  // -1: leave the zero pages untouched
  };
  const Case cases[] = {
      {"2 GiB of bytes", std::size_t{1} << 31, -1},
      {"800 MiB of 0xFF, 2.4 GB once decoded", std::size_t{800} << 20, 0xFF},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const Mapping mapping(test_case.size, test_case.fill < 0 ? PROT_READ : PROT_READ | PROT_WRITE);
    ASSERT_NE(mapping.data(), nullptr);
    if (test_case.fill >= 0) std::memset(mapping.data(), test_case.fill, test_case.size);
    std::string result;
    ASSERT_TRUE(veltrane::test_support::run_on_small_stack([&] {
      const uint8_t* text = analyze(mapping.data(), test_case.size, nullptr, 0);
      result.assign(reinterpret_cast<const char*>(text), result_len());
    }));
    EXPECT_EQ(result, refusal);
  }
}

#endif

}  // namespace
