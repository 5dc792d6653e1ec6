# System libraries that are not KnownDLLs on every supported Windows are delay-loaded: nothing
# of theirs is in the import table, so the loader never looks for them beside kelvo.exe before
# the program runs. The first call loads each from the system folder (WinMain restricts the
# search and hooks the load). Link kelvo_delay_<name> instead of <name>.
#
# mingw-w64: a delay-import library per DLL, made by dlltool from the functions listed here, with
# their stdcall decorations read from the toolchain's import library. Each function is also named
# to the linker (-u): GNU ld drops the unreferenced code of an import member, and with it the
# i386 delay-load stub that the import address slot points to. A function missing from the list
# fails the link, since the ordinary import library is not linked.
# MSVC: the ordinary import library, /DELAYLOAD and delayimp.

set(KELVO_DELAY_wininet HttpOpenRequestW HttpQueryInfoW HttpSendRequestW InternetCloseHandle InternetConnectW
    InternetCrackUrlW InternetOpenW InternetQueryDataAvailable InternetReadFile InternetSetOptionExW
    InternetSetStatusCallbackW)
set(KELVO_DELAY_bcrypt BCryptCloseAlgorithmProvider BCryptCreateHash BCryptDestroyHash BCryptDestroyKey
    BCryptFinishHash BCryptGetProperty BCryptHashData BCryptImportKeyPair BCryptOpenAlgorithmProvider
    BCryptVerifySignature)
set(KELVO_DELAY_gdiplus GdipAlloc GdipBitmapLockBits GdipBitmapUnlockBits GdipCloneImage
    GdipCreateBitmapFromStream GdipDisposeImage GdipFree GdipGetImageHeight GdipGetImageWidth GdiplusShutdown
    GdiplusStartup)

function(kelvo_delay_load name dll)
  set(target kelvo_delay_${name})
  add_library(${target} INTERFACE)
  if(MSVC)
    target_link_libraries(${target} INTERFACE ${name} delayimp)
    target_link_options(${target} INTERFACE /DELAYLOAD:${dll} /IGNORE:4199)
    return()
  endif()
  find_library(KELVO_IMPLIB_${name} NAMES ${name} REQUIRED)
  execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${KELVO_IMPLIB_${name}} OUTPUT_VARIABLE symbols
                  COMMAND_ERROR_IS_FATAL ANY)
  # i386: "__imp__Name@N" (C names carry a leading underscore); x86_64: "__imp_Name".
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(prefix "__imp__")
    set(cname "_")
  else()
    set(prefix "__imp_")
    set(cname "")
  endif()
  set(def "LIBRARY ${dll}\nEXPORTS\n")
  set(undefined)
  foreach(function IN LISTS KELVO_DELAY_${name})
    if(NOT symbols MATCHES " I ${prefix}(${function}(@[0-9]+)?)\r?\n")
      message(FATAL_ERROR "${KELVO_IMPLIB_${name}} has no function ${function}")
    endif()
    string(APPEND def "${CMAKE_MATCH_1}\n")
    list(APPEND undefined "LINKER:-u,${cname}${CMAKE_MATCH_1}")
  endforeach()
  set(dir ${CMAKE_BINARY_DIR}/delayload)
  file(WRITE ${dir}/${name}.def "${def}")
  # --kill-at: the DLL exports the names without their stdcall decoration.
  execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${dir}/${name}.def --dllname ${dll}
                          --output-delaylib ${dir}/lib${name}_delay.a COMMAND_ERROR_IS_FATAL ANY)
  target_link_libraries(${target} INTERFACE ${dir}/lib${name}_delay.a)
  target_link_options(${target} INTERFACE ${undefined})
endfunction()

if(WIN32)
  kelvo_delay_load(wininet WININET.dll)
  kelvo_delay_load(bcrypt bcrypt.dll)
  kelvo_delay_load(gdiplus gdiplus.dll)
endif()
