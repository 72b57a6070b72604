#pragma once

// Packing rendered report outputs into one ZIP archive in memory: every output under
// "veltrane-report/", Deflate at level 6, a fixed 1980-01-01 timestamp and mode rw-r--r--,
// so that the same outputs always give the same bytes.

#include <span>
#include <string>

#include "report/render.hpp"

namespace veltrane::report {

// The archive's bytes, or the ZIP writer's description of a failure.
struct ZipResult {
  std::string bytes;
  std::string error;  // empty on success
  [[nodiscard]] bool ok() const { return error.empty(); }
};

[[nodiscard]] ZipResult zip_report(std::span<const ReportFile> files);

}  // namespace veltrane::report
