#include "catalog/build_catalog.hpp"

namespace veltrane::catalog {

std::string build_catalog(Catalog& catalog, std::string_view file_name, std::string_view text,
                          std::string_view schema, const lexer::ParseOptions& options) {
  (void)catalog;
  (void)file_name;
  (void)text;
  (void)options;
  return std::string(schema);
}

}  // namespace veltrane::catalog
