# Embedding a text file of the source tree (an HTML page, a sample script) in a library as
# a `std::string_view` constant, at build time and with CMake alone.
#
#   veltrane_embed(<target> <input file> <header> <namespace> <constant>)
#
# makes <binary dir>/generated/<header> declare `inline constexpr std::string_view
# <constant>` in namespace <namespace>, holding the file's bytes unchanged. The header is
# made again whenever the input changes; <target> finds it as "<header>".
#
# The same file is the script that writes the header (cmake -P), so that nothing but
# CMake itself is needed.

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: INPUT, OUTPUT, NAMESPACE and CONSTANT are given with -D.
  file(READ "${INPUT}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR byte_count "${hex_length} / 2")
  # Sixteen bytes per line: "0x3c,0x21,..." .
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){16})" "\\1\n    " bytes "${bytes}")
  get_filename_component(input_name "${INPUT}" NAME)
  file(WRITE "${OUTPUT}.tmp"
    "#pragma once\n"
    "// Generated from ${input_name} at build time; do not edit.\n\n"
    "#include <string_view>\n\n"
    "namespace ${NAMESPACE} {\n\n"
    "inline constexpr char ${CONSTANT}_BYTES[] = {\n    ${bytes}'\\0'};\n\n"
    "inline constexpr std::string_view ${CONSTANT}{${CONSTANT}_BYTES, ${byte_count}};\n\n"
    "}  // namespace ${NAMESPACE}\n")
  file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUTPUT}.tmp")
  return()
endif()

function(veltrane_embed target input header namespace constant)
  set(script "${CMAKE_CURRENT_FUNCTION_LIST_FILE}")
  set(generated_dir "${PROJECT_BINARY_DIR}/generated")
  set(output "${generated_dir}/${header}")
  get_filename_component(output_dir "${output}" DIRECTORY)
  file(MAKE_DIRECTORY "${output_dir}")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${input}" "-DOUTPUT=${output}"
            "-DNAMESPACE=${namespace}" "-DCONSTANT=${constant}" -P "${script}"
    DEPENDS "${input}" "${script}"
    COMMENT "Embedding ${header}"
    VERBATIM)
  target_sources(${target} PRIVATE "${output}")
  target_include_directories(${target} PUBLIC "${generated_dir}")
endfunction()
