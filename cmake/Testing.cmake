# GoogleTest built from source as part of the tree, so the Windows tests get a
# mingw build of it; nt_add_test registers a test program with ctest: on
# Linux each GoogleTest case, in the Windows builds each program, run under
# Wine by the toolchain's emulator (tests/wine/wine-run).
set(NT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")

if(WIN32)
  # The prefix and the modem-line library the Windows programs run with
  # (tests/wine/CMakeLists.txt builds the library and the fixtures).
  set(NT_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(NT_WINE_PRELOAD ${CMAKE_BINARY_DIR}/wine-host/libwine_tty_lines.so)
endif()

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
#             [LINUX_ONLY] [WINDOWS_ONLY] [NEEDS_DISPLAY] [NEEDS_CABLE] [TIMEOUT <seconds>])
# Label "thread" marks the tests that scripts/test runs again under TSan.
# TIMEOUT (300 s unless given) only ends a hung case; a long run whose time
# grows with the machine's load gets room for a busy machine under TSan.
# Under Wine, NEEDS_DISPLAY runs the program on a virtual display (label
# "display") and NEEDS_CABLE gives it a null-modem cable between COM2 and
# COM5 (label "cable", tests/support/PortPair.h).
function(nt_add_test name)
  cmake_parse_arguments(T "LINUX_ONLY;WINDOWS_ONLY;NEEDS_DISPLAY;NEEDS_CABLE" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if((WIN32 AND T_LINUX_ONLY) OR (NOT WIN32 AND T_WINDOWS_ONLY))
    return()
  endif()
  nt_setup_gtest()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support ${PROJECT_SOURCE_DIR}/tests)
  if(WIN32)
    nt_add_wine_test(${name} "${T_LABELS}" ${T_NEEDS_DISPLAY} ${T_NEEDS_CABLE})
  else()
    include(GoogleTest)
    set(properties TIMEOUT ${T_TIMEOUT})
    if(T_LABELS)
      list(APPEND properties LABELS "${T_LABELS}")
    endif()
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 120 PROPERTIES ${properties})
  endif()
endfunction()

# One ctest test per Windows program: its exit status counts, so a crash or
# a hang after the last test case fails it. The programs share one prefix
# (and a display program must not meet a session without one): one at a time.
function(nt_add_wine_test name extra_labels needs_display needs_cable)
  set(environment WINEPREFIX=${NT_WINE_PREFIX} NT_WINE_PRELOAD=${NT_WINE_PRELOAD} LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8)
  set(labels wine ${extra_labels})
  set(fixtures wine_prefix)
  if(needs_display)
    list(APPEND environment NT_WINE_DISPLAY=1)
    list(APPEND labels display)
  endif()
  if(needs_cable)
    list(APPEND environment "NT_TEST_NULL_MODEM=COM2 COM5")
    list(APPEND labels cable)
    list(APPEND fixtures cable)
  else()
    # The others find COM2 without a cable: they run before it is laid.
    set_property(GLOBAL APPEND PROPERTY NT_WINE_TESTS_WITHOUT_CABLE ${name})
  endif()
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" LABELS "${labels}"
                       FIXTURES_REQUIRED "${fixtures}" RESOURCE_LOCK wineprefix SKIP_RETURN_CODE 77 TIMEOUT 600)
endfunction()
