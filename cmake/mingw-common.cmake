# What the mingw-w64 toolchain files share: the posix-threads flavour of the compilers named by
# KELVO_MINGW_PREFIX, and libraries and headers from that target's root only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KELVO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVO_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KELVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
