// Replays inputs through a harness without libFuzzer: every argument is a file, or a folder
// whose files (recursively, in path order) are each one input. "--suffix=S" before the
// paths keeps only folder files whose names end in S (the snapshot folders hold expected
// outputs beside their scripts); files named directly are always taken. A failed check
// aborts, as it does under libFuzzer. Fails when an argument does not exist or no input was
// found.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

bool read_file(const std::filesystem::path& path, std::string& bytes) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) return false;
  bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
  return !stream.bad();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  constexpr std::string_view SUFFIX_OPTION = "--suffix=";
  std::string suffix;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word(argv[i]);
    if (word.substr(0, SUFFIX_OPTION.size()) == SUFFIX_OPTION) {
      suffix = word.substr(SUFFIX_OPTION.size());
      continue;
    }
    const std::filesystem::path argument(argv[i]);
    std::error_code error;
    if (std::filesystem::is_directory(argument, error)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(argument)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        if (name.size() < suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
          continue;
        }
        inputs.push_back(entry.path());
      }
    } else if (std::filesystem::is_regular_file(argument, error)) {
      inputs.push_back(argument);
    } else {
      std::fprintf(stderr, "replay: no such file or folder: %s\n", argv[i]);
      return 1;
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "replay: no inputs\n");
    return 1;
  }
  std::string bytes;
  for (const std::filesystem::path& path : inputs) {
    if (!read_file(path, bytes)) {
      std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
      return 1;
    }
    std::fprintf(stderr, "%s\n", path.c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return 0;
}
