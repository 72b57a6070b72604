# Putting a page together from its parts (cmake/Embed.cmake as a script), over a page of its
# own in WORK: the parts its @embed lines name take their lines' places and are written to
# the header's dependency file, and a part that is not there stops it.
file(REMOVE_RECURSE "${WORK}")
file(WRITE "${WORK}/pages/page.html"
  "<script>\n// @embed first.js\nbetween\n// @embed second_part.js\n</script>\n")
file(WRITE "${WORK}/pages/missing.html" "<script>\n// @embed first.js\n// @embed third.js\n")
file(WRITE "${WORK}/pages/first.js" "one\n")
file(WRITE "${WORK}/pages/second_part.js" "two\n")

function(embed page)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${WORK}/pages/${page}" "-DOUTPUT=${WORK}/page.hpp"
            -DNAMESPACE=test -DCONSTANT=PAGE "-DDEPFILE=${WORK}/page.hpp.d" -P "${SCRIPT}"
    RESULT_VARIABLE status ERROR_VARIABLE errors)
  set(status "${status}" PARENT_SCOPE)
  set(errors "${errors}" PARENT_SCOPE)
endfunction()

embed(page.html)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the page was not put together: ${errors}")
endif()
file(READ "${WORK}/page.hpp.page" page)
if(NOT page STREQUAL "<script>\none\nbetween\ntwo\n</script>\n")
  message(FATAL_ERROR "the page put together wrongly:\n${page}")
endif()
file(READ "${WORK}/page.hpp.d" dependencies)
foreach(file IN ITEMS "page.hpp:" "pages/page.html" "pages/first.js" "pages/second_part.js")
  string(FIND "${dependencies}" "/${file}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "the dependency file lacks ${file}:\n${dependencies}")
  endif()
endforeach()

embed(missing.html)
# CMake wraps the message's lines.
string(REGEX REPLACE "[ \n]+" " " errors "${errors}")
if(status EQUAL 0 OR NOT errors MATCHES "no part named 'third.js'")
  message(FATAL_ERROR "a missing part did not stop the page: ${errors}")
endif()
