#pragma once

// Writing a large JSON array element by element. The compact dump of an array is "[", the
// element dumps joined by ",", and "]": each element is dumped into the result as it comes,
// so no value is kept per element and the text equals the JSON library's `dump()` of the
// whole array.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>

namespace veltrane::syntax {

class JsonArrayWriter {
 public:
  // Starts the array; `reserve` sizes the text up front.
  explicit JsonArrayWriter(std::size_t reserve);

  // Appends the compact dump of one element.
  void append(const nlohmann::json& element);

  // Closes the array and hands its text to the caller.
  [[nodiscard]] std::string finish() &&;

 private:
  std::string out_;
};

}  // namespace veltrane::syntax
