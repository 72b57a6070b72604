#include "syntax/json_stream.hpp"

#include <utility>

namespace veltrane::syntax {

JsonArrayWriter::JsonArrayWriter(std::size_t reserve) {
  out_.reserve(reserve);
  out_.push_back('[');
}

void JsonArrayWriter::append(const nlohmann::json& element) {
  if (out_.size() > 1) out_.push_back(',');
  out_ += element.dump();
}

std::string JsonArrayWriter::finish() && {
  out_.push_back(']');
  return std::move(out_);
}

}  // namespace veltrane::syntax
