# Each subsystem folder lists its files with these two functions; the top level
# turns the collected lists into one portable library and one Windows library,
# so subsystems may call each other freely without static-library ordering.
function(kelvo_core_sources)
  foreach(f IN LISTS ARGN)
    set_property(GLOBAL APPEND PROPERTY KELVO_CORE_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${f})
  endforeach()
endfunction()

function(kelvo_win_sources)
  foreach(f IN LISTS ARGN)
    set_property(GLOBAL APPEND PROPERTY KELVO_WIN_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${f})
  endforeach()
endfunction()
