# nt_keep_windows_floor(<target>)
#
# A shipped PE file loads on the oldest Windows the project supports,
# NT_WINDOWS_FLOOR (CMakeLists.txt), and its header says so: the loader and
# the user read the OS and subsystem versions as the Windows the file needs.
# The threads library's one import newer than that is served from inside the
# file (platform/win32/floor). scripts/check-windows-files holds every import
# to what the floor's system DLLs export. The 64-bit build is a test vehicle,
# never shipped: it keeps the linker's header, and gets the same clock so
# that the 64-bit Wine runs the same code.
function(nt_keep_windows_floor target)
  if(NOT WIN32)
    return()
  endif()
  target_link_libraries(${target} PRIVATE w32_floor)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    string(REPLACE "." ";" floor "${NT_WINDOWS_FLOOR}")
    list(GET floor 0 major)
    list(GET floor 1 minor)
    target_link_options(${target} PRIVATE -Wl,--major-os-version,${major} -Wl,--minor-os-version,${minor}
                        -Wl,--major-subsystem-version,${major} -Wl,--minor-subsystem-version,${minor})
  endif()
endfunction()
