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

# veltrane_folder_library(<folder> <dependency>...): a static library veltrane_<folder> built
# from src/<folder>/*.cpp. Dependencies that are not (yet) targets are left out, so that a
# folder can land before the folders above it.
function(veltrane_folder_library folder)
  file(GLOB sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp")
  # An executable's main() lives beside its folder's code but outside the library.
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT sources)
    return()
  endif()
  set(target veltrane_${folder})
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  set_target_properties(${target} PROPERTIES LINK_INTERFACE_MULTIPLICITY 3)
  veltrane_warnings(${target})
  set_property(GLOBAL APPEND PROPERTY VELTRANE_LIBRARIES ${target})
  set_property(GLOBAL PROPERTY VELTRANE_DEPS_${target} ${ARGN})
endfunction()

# Links each folder library to its dependencies once every folder is known (the grammar
# folders depend on one another).
function(veltrane_link_folder_libraries)
  get_property(libraries GLOBAL PROPERTY VELTRANE_LIBRARIES)
  foreach(target IN LISTS libraries)
    get_property(deps GLOBAL PROPERTY VELTRANE_DEPS_${target})
    foreach(dep IN LISTS deps)
      if(TARGET ${dep})
        target_link_libraries(${target} PUBLIC ${dep})
      endif()
    endforeach()
  endforeach()
endfunction()
