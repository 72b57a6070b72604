# Helpers shared by the library, test and benchmark folders.

set(VELTRANE_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion)
# g++ 12 reports false -Wrestrict overlaps inside std::string concatenation when optimising
# (GCC bug 105329); the warning says nothing about our code there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND VELTRANE_WARNING_FLAGS -Wno-restrict)
endif()

# Warnings on our own targets; -Werror where the build asks for it.
function(veltrane_warnings target)
  target_compile_options(${target} PRIVATE ${VELTRANE_WARNING_FLAGS})
  if(VELTRANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# veltrane_library(<name> FOLDERS <folder>... DEPS <library>...): a static library
# veltrane_<name> built from src/<folder>/*.cpp of each folder. A library whose folders hold
# no code yet is not made; it is remembered, so that a library above it may name it before it
# lands. Any other dependency that is not a target is a configure error.
function(veltrane_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "FOLDERS;DEPS")
  set(sources)
  foreach(folder IN LISTS arg_FOLDERS)
    file(GLOB folder_sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp")
    list(APPEND sources ${folder_sources})
  endforeach()
  # An executable's main() lives beside its folder's code but outside the library.
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  set(target veltrane_${name})
  foreach(folder IN LISTS arg_FOLDERS)
    set_property(GLOBAL PROPERTY VELTRANE_FOLDER_LIBRARY_${folder} ${target})
  endforeach()
  if(NOT sources)
    set_property(GLOBAL APPEND PROPERTY VELTRANE_EMPTY_LIBRARIES ${target})
    return()
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  veltrane_warnings(${target})
  set_property(GLOBAL APPEND PROPERTY VELTRANE_LIBRARIES ${target})
  set_property(GLOBAL PROPERTY VELTRANE_DEPS_${target} ${arg_DEPS})
endfunction()

# Links each library to its dependencies once every library is known.
function(veltrane_link_libraries)
  get_property(libraries GLOBAL PROPERTY VELTRANE_LIBRARIES)
  get_property(empty GLOBAL PROPERTY VELTRANE_EMPTY_LIBRARIES)
  foreach(target IN LISTS libraries)
    get_property(deps GLOBAL PROPERTY VELTRANE_DEPS_${target})
    foreach(dep IN LISTS deps)
      if(TARGET ${dep})
        target_link_libraries(${target} PUBLIC ${dep})
      elseif(dep IN_LIST empty)
        # A layer that holds no code yet.
      else()
        message(FATAL_ERROR "${target} links ${dep}, which is not a library of this build")
      endif()
    endforeach()
  endforeach()
endfunction()
