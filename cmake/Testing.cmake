# GoogleTest built from source as part of the tree, so the Windows tests get a
# mingw build of it; nt_add_test registers a test program for the platform's
# runner (ctest on Linux, scripts/test under Wine for Windows).
set(NT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")

set(NT_WINE_TEST_LIST ${CMAKE_BINARY_DIR}/wine-tests.txt)
file(WRITE ${NT_WINE_TEST_LIST} "")

macro(nt_setup_gtest)
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${NT_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # GoogleTest is not ours to hold to our warning level.
    foreach(t gtest gtest_main)
      target_compile_options(${t} PRIVATE -w)
    endforeach()
  endif()
endmacro()

# nt_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>]
#             [LINUX_ONLY] [WINDOWS_ONLY] [NEEDS_DISPLAY] [NEEDS_CABLE])
# Label "thread" marks the tests that scripts/test runs again under TSan.
# NEEDS_CABLE: under Wine the program gets a null-modem cable between COM2
# and COM5 (tests/support/PortPair.h).
function(nt_add_test name)
  cmake_parse_arguments(T "LINUX_ONLY;WINDOWS_ONLY;NEEDS_DISPLAY;NEEDS_CABLE" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if((WIN32 AND T_LINUX_ONLY) OR (NOT WIN32 AND T_WINDOWS_ONLY))
    return()
  endif()
  nt_setup_gtest()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support ${PROJECT_SOURCE_DIR}/tests)
  if(WIN32)
    set(flags "")
    if(T_NEEDS_DISPLAY)
      string(APPEND flags " display")
    endif()
    if(T_NEEDS_CABLE)
      string(APPEND flags " cable")
    endif()
    file(APPEND ${NT_WINE_TEST_LIST} "${name}${flags}\n")
  else()
    include(GoogleTest)
    set(properties TIMEOUT 300)
    if(T_LABELS)
      list(APPEND properties LABELS "${T_LABELS}")
    endif()
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 120 PROPERTIES ${properties})
  endif()
endfunction()
