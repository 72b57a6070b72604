# cmake/Embed.cmake putting pages of WORK together: the parts that @embed lines name take
# their places and are the header's dependencies; a part that is not there stops it.
file(REMOVE_RECURSE "${WORK}")
file(WRITE "${WORK}/page.html" "<script>\n// @embed one.js\n-\n// @embed two_b.js\n</script>\n")
file(WRITE "${WORK}/missing.html" "// @embed one.js\n// @embed three.js\n")
file(WRITE "${WORK}/one.js" "1\n")
file(WRITE "${WORK}/two_b.js" "2\n")
foreach(page IN ITEMS page missing)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${WORK}/${page}.html" "-DOUTPUT=${WORK}/${page}.hpp"
            -DNAMESPACE=test -DCONSTANT=PAGE "-DDEPFILE=${WORK}/${page}.d" -P "${SCRIPT}"
    RESULT_VARIABLE ${page}_status ERROR_VARIABLE errors)
endforeach()
file(READ "${WORK}/page.hpp.page" page)
file(READ "${WORK}/page.d" dependencies)
string(REGEX REPLACE "[ \n]+" " " errors "${errors}")  # CMake wraps its messages
if(NOT page_status EQUAL 0 OR NOT page STREQUAL "<script>\n1\n-\n2\n</script>\n" OR
   NOT dependencies MATCHES "/page.hpp: .*/page.html .*/one.js .*/two_b.js\n$" OR
   missing_status EQUAL 0 OR NOT errors MATCHES "no part named 'three.js'")
  message(FATAL_ERROR "page: ${page}\ndependencies: ${dependencies}\nerrors: ${errors}")
endif()
