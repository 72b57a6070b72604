#include "report/zip_report.hpp"

#include <zip.h>

#include <cstdint>
#include <string_view>

namespace veltrane::report {

namespace {

constexpr std::string_view ENTRY_FOLDER = "veltrane-report/";
// The end-of-central-directory record of an archive with no entries and no comment.
constexpr std::string_view EMPTY_ARCHIVE{"PK\x05\x06\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 22};
// An entry this large needs ZIP64 records, which the archive never holds.
constexpr uint64_t LARGEST_ENTRY = 0xFFFFFFFEu;
constexpr uint16_t DOS_TIME = 0x0000;
constexpr uint16_t DOS_DATE = 0x0021;  // 1980-01-01
constexpr zip_uint32_t UNIX_MODE = 0100644;
constexpr zip_int8_t DEFLATE_LEVEL = 6;

constexpr std::size_t END_RECORD_SIZE = 22;
constexpr std::size_t CENTRAL_RECORD_SIZE = 46;

uint32_t read_le(std::string_view bytes, std::size_t at, std::size_t width) {
  uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  }
  return value;
}

// libzip writes "version made by" as its own version; the archive says 2.0 on Unix
// (0x0314). Each central-directory record is found from the end record and the lengths
// of the records before it, never by searching for a signature, which deflated data may
// hold. No checksum covers the field.
bool set_version_made_by(std::string& archive) {
  if (archive.size() < END_RECORD_SIZE) return false;
  const std::size_t end_record = archive.size() - END_RECORD_SIZE;
  if (archive.compare(end_record, 4, "PK\x05\x06") != 0) return false;
  const uint32_t entries = read_le(archive, end_record + 10, 2);
  std::size_t record = read_le(archive, end_record + 16, 4);
  for (uint32_t entry = 0; entry < entries; ++entry) {
    if (record + CENTRAL_RECORD_SIZE > end_record ||
        archive.compare(record, 4, "PK\x01\x02") != 0) {
      return false;
    }
    archive[record + 4] = 0x14;
    archive[record + 5] = 0x03;
    record += CENTRAL_RECORD_SIZE + read_le(archive, record + 28, 2) +
              read_le(archive, record + 30, 2) + read_le(archive, record + 32, 2);
  }
  return true;
}

std::string archive_error(zip_t* archive) { return zip_strerror(archive); }

std::string source_error(zip_source_t* source) {
  return zip_error_strerror(zip_source_error(source));
}

// Reads the whole content of a finished buffer source.
bool read_source(zip_source_t* source, std::string& bytes, std::string& error) {
  if (zip_source_open(source) < 0) {
    error = source_error(source);
    return false;
  }
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_source_stat(source, &stat) < 0 || (stat.valid & ZIP_STAT_SIZE) == 0) {
    error = source_error(source);
    zip_source_close(source);
    return false;
  }
  bytes.resize(static_cast<std::size_t>(stat.size));
  zip_uint64_t done = 0;
  while (done < stat.size) {
    const zip_int64_t read = zip_source_read(source, bytes.data() + done, stat.size - done);
    if (read <= 0) {
      error = read < 0 ? source_error(source) : "archive shorter than its size";
      zip_source_close(source);
      return false;
    }
    done += static_cast<zip_uint64_t>(read);
  }
  zip_source_close(source);
  return true;
}

}  // namespace

ZipResult zip_report(std::span<const ReportFile> files) {
  ZipResult result;
  // libzip writes nothing for an archive without entries, and frees its source then.
  if (files.empty()) {
    result.bytes = EMPTY_ARCHIVE;
    return result;
  }
  for (const ReportFile& file : files) {
    if (file.bytes.size() > LARGEST_ENTRY) {
      result.error = file.name + ": 4 GiB or more cannot be packed without ZIP64";
      return result;
    }
  }

  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (buffer == nullptr) {
    result.error = zip_error_strerror(&error);
    zip_error_fini(&error);
    return result;
  }
  // Keep the buffer alive past zip_close, which would otherwise free it with the archive.
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) {
    result.error = zip_error_strerror(&error);
    zip_error_fini(&error);
    zip_source_free(buffer);
    zip_source_free(buffer);
    return result;
  }
  zip_error_fini(&error);

  const auto fail = [&](std::string text) {
    result.error = std::move(text);
    result.bytes.clear();
    zip_discard(archive);
    zip_source_free(buffer);
    return result;
  };

  for (const ReportFile& file : files) {
    zip_source_t* data = zip_source_buffer(archive, file.bytes.data(), file.bytes.size(), 0);
    if (data == nullptr) return fail(archive_error(archive));
    const std::string name = std::string(ENTRY_FOLDER) + file.name;
    const zip_int64_t index = zip_file_add(archive, name.c_str(), data, 0);
    if (index < 0) {
      zip_source_free(data);
      return fail(archive_error(archive));
    }
    const auto entry = static_cast<zip_uint64_t>(index);
    if (zip_set_file_compression(archive, entry, ZIP_CM_DEFLATE,
                                 static_cast<zip_uint32_t>(DEFLATE_LEVEL)) < 0 ||
        zip_file_set_dostime(archive, entry, DOS_TIME, DOS_DATE, 0) < 0 ||
        zip_file_set_external_attributes(archive, entry, 0, ZIP_OPSYS_UNIX, UNIX_MODE << 16) < 0) {
      return fail(archive_error(archive));
    }
  }
  if (zip_close(archive) < 0) return fail(archive_error(archive));

  std::string read_error;
  if (!read_source(buffer, result.bytes, read_error)) {
    zip_source_free(buffer);
    result.bytes.clear();
    result.error = read_error;
    return result;
  }
  zip_source_free(buffer);
  if (!set_version_made_by(result.bytes)) {
    result.bytes.clear();
    result.error = "archive without a readable central directory";
  }
  return result;
}

}  // namespace veltrane::report
