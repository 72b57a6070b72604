# Embedding a text file of the source tree (an HTML page, a sample script) in a library as
# a `std::string_view` constant, at build time and with CMake alone.
#
#   veltrane_embed(<target> <input file> <header> <namespace> <constant>)
#
# makes <binary dir>/generated/<header> declare `inline constexpr std::string_view
# <constant>` in namespace <namespace>, holding the file's bytes unchanged. The header is
# made again whenever the input changes; <target> finds it as "<header>".
#
#   veltrane_embed_page(<target> <page> <header> <namespace> <constant>)
#
# does the same for a page whose script lives in files of its own beside it: every line of
# the page that is exactly "// @embed <part>" stands for the whole of that file (its last
# line end included), and the constant holds the page so put together. The parts are the
# page's own @embed lines, nowhere else: putting it together writes them to a dependency
# file of the header, so that the header is made again when the page or any part it names
# changes, and a part that is not there stops the build.
#
# The same file is the script that writes the header (cmake -P), so that nothing but
# CMake itself is needed.

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: INPUT, OUTPUT, NAMESPACE and CONSTANT are given with -D, and for a page
  # with parts DEPFILE, the dependency file to write.
  cmake_policy(VERSION 3.25)
  get_filename_component(input_name "${INPUT}" NAME)
  # A path as a dependency file writes it: space, # and $ escaped.
  function(depfile_path path out)
    string(REPLACE "$" "$$" path "${path}")
    string(REGEX REPLACE "([ #])" "\\\\\\1" path "${path}")
    set(${out} "${path}" PARENT_SCOPE)
  endfunction()
  if(DEPFILE)
    get_filename_component(page_dir "${INPUT}" DIRECTORY)
    file(READ "${INPUT}" page)
    depfile_path("${OUTPUT}" output_path)
    depfile_path("${INPUT}" input_path)
    set(dependencies "${output_path}: ${input_path}")
    set(assembled "")
    set(marker "// @embed ")
    # Searched for after a line end put before what is left of the page, so that a line
    # right after an @embed line (or the page's first) is found too: `found` is where the
    # line starts in the page.
    string(FIND "\n${page}" "\n${marker}" found)
    while(NOT found EQUAL -1)
      string(SUBSTRING "${page}" 0 ${found} before)
      string(SUBSTRING "${page}" ${found} -1 page)
      string(FIND "${page}" "\n" line_end)
      if(line_end EQUAL -1)
        message(FATAL_ERROR "${INPUT}: an @embed line without its line end")
      endif()
      string(LENGTH "${marker}" marker_length)
      math(EXPR part_length "${line_end} - ${marker_length}")
      string(SUBSTRING "${page}" ${marker_length} ${part_length} part)
      math(EXPR rest_start "${line_end} + 1")
      string(SUBSTRING "${page}" ${rest_start} -1 page)
      if(NOT part MATCHES "^[a-z_]+\\.js$" OR NOT EXISTS "${page_dir}/${part}")
        message(FATAL_ERROR "${INPUT}: no part named '${part}' beside the page")
      endif()
      file(READ "${page_dir}/${part}" part_text)
      string(APPEND assembled "${before}${part_text}")
      depfile_path("${page_dir}/${part}" part_path)
      string(APPEND dependencies " ${part_path}")
      string(FIND "\n${page}" "\n${marker}" found)
    endwhile()
    string(APPEND assembled "${page}")
    file(WRITE "${OUTPUT}.page" "${assembled}")
    file(WRITE "${DEPFILE}" "${dependencies}\n")
    set(INPUT "${OUTPUT}.page")
  endif()
  file(READ "${INPUT}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR byte_count "${hex_length} / 2")
  # Sixteen bytes per line: "0x3c,0x21,..." .
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){16})" "\\1\n    " bytes "${bytes}")
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
  cmake_parse_arguments(PARSE_ARGV 5 embed "PAGE" "" "")
  set(script "${CMAKE_CURRENT_FUNCTION_LIST_FILE}")
  set(generated_dir "${PROJECT_BINARY_DIR}/generated")
  set(output "${generated_dir}/${header}")
  get_filename_component(output_dir "${output}" DIRECTORY)
  file(MAKE_DIRECTORY "${output_dir}")
  set(depfile_arguments "")
  set(depfile_option "")
  if(embed_PAGE)
    set(depfile "${output}.d")
    set(depfile_arguments "-DDEPFILE=${depfile}")
    set(depfile_option DEPFILE "${depfile}")
  endif()
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${input}" "-DOUTPUT=${output}"
            "-DNAMESPACE=${namespace}" "-DCONSTANT=${constant}" ${depfile_arguments}
            -P "${script}"
    DEPENDS "${input}" "${script}"
    ${depfile_option}
    COMMENT "Embedding ${header}"
    VERBATIM)
  target_sources(${target} PRIVATE "${output}")
  target_include_directories(${target} PUBLIC "${generated_dir}")
endfunction()

function(veltrane_embed_page target page header namespace constant)
  veltrane_embed(${target} "${page}" "${header}" ${namespace} ${constant} PAGE)
endfunction()
