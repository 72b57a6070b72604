#pragma once
// Test support: a file descriptor pointed somewhere else for a while, and a file's bytes.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace veltrane::test_support {

// Points a file descriptor somewhere else while alive.
class Redirected {
 public:
  Redirected(int descriptor, int target) : descriptor_(descriptor), saved_(::dup(descriptor)) {
    ::dup2(target, descriptor);
  }
  ~Redirected() {
    ::dup2(saved_, descriptor_);
    ::close(saved_);
  }
  Redirected(const Redirected&) = delete;
  Redirected& operator=(const Redirected&) = delete;

 private:
  int descriptor_;
  int saved_;
};

// The whole content of a file; empty when it cannot be read.
inline std::string file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string{std::istreambuf_iterator<char>(in), {}};
}

}  // namespace veltrane::test_support
