# One commit gives the same bytes from every build, whatever the folders and
# the time: paths go into the files relative to the tree, PE files carry no
# link time, and archives no dates, owners or modes.
#
# The build folder is often inside the source tree, and the last matching
# map wins: the source tree comes first.
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
                    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()

if(NOT WIN32)
  function(nt_ship_pe)
  endfunction()
  return()
endif()

add_link_options(-Wl,--no-insert-timestamp)

# nt_ship_pe(<target> [MARKER <text>])
#
# The PE file the build leaves in bin/ is the one that ships: it keeps the
# Windows floor (WindowsFloor.cmake), and goes without debug sections or
# symbols, which go to <file>.debug beside it, named by the file's debug
# link. MARKER then writes the version-requirement marker into
# the header area, which stripping rewrites. objcopy stamps the time into a
# PE header it writes unless SOURCE_DATE_EPOCH says otherwise; 0 is what the
# linker writes with --no-insert-timestamp.
function(nt_ship_pe target)
  cmake_parse_arguments(P "" "MARKER" "" ${ARGN})
  nt_keep_windows_floor(${target})
  set(file "$<TARGET_FILE:${target}>")
  set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${objcopy} --only-keep-debug ${file} ${file}.debug
    COMMAND ${objcopy} --strip-all --add-gnu-debuglink=${file}.debug ${file}
    COMMENT "Debug information of ${target} into a file of its own"
    VERBATIM)
  if(P_MARKER)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/pe-marker.py ${file} ${P_MARKER}
      COMMENT "Version-requirement marker into ${target}"
      VERBATIM)
  endif()
endfunction()
