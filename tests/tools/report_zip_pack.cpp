// Test-only: packs the files named on the command line with zip_report (each under its
// own base name) and writes the archive to standard output. With no arguments, packs
// nothing. Status 0 on success, 1 with a message when a file cannot be read or the
// archive cannot be made.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "report/render.hpp"
#include "report/zip_report.hpp"

int main(int argc, char** argv) {
  std::vector<veltrane::report::ReportFile> files;
  for (int index = 1; index < argc; ++index) {
    const std::string path = argv[index];
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
      std::cerr << path << ": cannot be read\n";
      return 1;
    }
    std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    const std::size_t slash = path.find_last_of('/');
    files.push_back({slash == std::string::npos ? path : path.substr(slash + 1), std::move(bytes)});
  }
  const veltrane::report::ZipResult archive = veltrane::report::zip_report(files);
  if (!archive.ok()) {
    std::cerr << archive.error << '\n';
    return 1;
  }
  std::cout.write(archive.bytes.data(), static_cast<std::streamsize>(archive.bytes.size()));
  std::cout.flush();
  return std::cout ? 0 : 1;
}
