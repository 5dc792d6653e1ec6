# The program is built in layers, one subsystem each, from the bottom:
#   base < markup < update < flash < game < login < frame < app
# base holds the small portable types and checks that several layers share; it is portable only
# and lies under the framework too.
# Each subsystem has a portable library (its core/ folder: no Windows headers, built in every
# preset) and, on Windows, a library of its window classes (its win/ folder), on the framework.
# A library links only what lies below it. Each library is also linked whole on its own into a
# small program, so a call from a lower layer into a higher one fails the build at once instead of
# resolving quietly in the final link.

# kelvo_layer(NAME [WINDOWS] SOURCES files... [DEPENDS libraries...])
function(kelvo_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 L "WINDOWS" "" "SOURCES;DEPENDS")
  add_library(${name} STATIC ${L_SOURCES})
  target_compile_options(${name} PRIVATE ${KELVO_WARNINGS})
  if(L_WINDOWS)
    target_link_libraries(${name} PUBLIC ${L_DEPENDS} kelvo_framework)
  else()
    target_link_libraries(${name} PUBLIC ${L_DEPENDS} kelvo_portable)
  endif()
  add_executable(${name}_links ${CMAKE_SOURCE_DIR}/cmake/LinkCheck.cpp)
  target_link_libraries(${name}_links PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}>")
  if(WIN32)
    target_link_options(${name}_links PRIVATE ${KELVO_CHECK_LINK_OPTIONS})
  endif()
  set_target_properties(${name}_links PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/links)
  set_property(GLOBAL APPEND PROPERTY KELVO_LAYERS ${name})
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt: benchmarks, fuzz targets and
# tools each live in a folder of their own and build for the presets they support.
function(kelvo_add_subfolders)
  file(GLOB dirs LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(dir IN LISTS dirs)
    if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
