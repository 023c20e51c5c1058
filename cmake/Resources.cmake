# nt_add_resources(<target> <rc files...>)
#
# Puts the compiled resources of the given .rc files into <target>.
# Windows: the .rc files become sources of the target (windres, UTF-8).
# Linux: each .rc is compiled with the mingw windres into a .res file, the
# files are joined, and the result is embedded into the target between the
# hidden symbols nt_resources_begin and nt_resources_end, where the Win32
# stand-in finds them (W32RegisterModuleResources).

if(WIN32)
  function(nt_add_resources target)
    foreach(rc IN LISTS ARGN)
      get_filename_component(rc_path "${rc}" ABSOLUTE)
      set_source_files_properties("${rc_path}" PROPERTIES COMPILE_OPTIONS "--codepage=65001")
      target_sources(${target} PRIVATE "${rc_path}")
    endforeach()
  endfunction()
else()
  find_program(NT_WINDRES NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres windres)

  function(nt_add_resources target)
    if(NOT NT_WINDRES)
      message(FATAL_ERROR "nt_add_resources: no windres found (install binutils-mingw-w64-i686)")
    endif()
    set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}.resources")
    set(res_files "")
    set(index 0)
    foreach(rc IN LISTS ARGN)
      get_filename_component(rc_path "${rc}" ABSOLUTE)
      get_filename_component(rc_dir "${rc_path}" DIRECTORY)
      get_filename_component(rc_name "${rc_path}" NAME_WE)
      set(res "${out_dir}/${index}-${rc_name}.res")
      add_custom_command(
        OUTPUT "${res}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${out_dir}"
        COMMAND ${NT_WINDRES} --codepage=65001 -I "${rc_dir}" -O res -i "${rc_path}" -o "${res}"
        DEPENDS "${rc_path}"
        IMPLICIT_DEPENDS C "${rc_path}"
        COMMENT "Compiling resources ${rc_name}.rc"
        VERBATIM)
      list(APPEND res_files "${res}")
      math(EXPR index "${index} + 1")
    endforeach()

    # Joined .res files stay one valid resource file: each starts with an
    # empty entry, which the reader skips.
    set(joined "${out_dir}/all.res")
    add_custom_command(
      OUTPUT "${joined}"
      COMMAND ${CMAKE_COMMAND} -E cat ${res_files} > "${joined}"
      DEPENDS ${res_files}
      COMMENT "Joining resources of ${target}")

    set(embed "${out_dir}/embed.c")
    file(WRITE "${embed}.in"
      "/* Compiled resources of ${target}, read by the Win32 stand-in. */\n"
      "__asm__(\".section .rodata.nt_resources,\\\"a\\\",@progbits\\n\"\n"
      "        \".balign 16\\n\"\n"
      "        \".globl nt_resources_begin\\n\"\n"
      "        \".hidden nt_resources_begin\\n\"\n"
      "        \"nt_resources_begin:\\n\"\n"
      "        \".incbin \\\"${joined}\\\"\\n\"\n"
      "        \".globl nt_resources_end\\n\"\n"
      "        \".hidden nt_resources_end\\n\"\n"
      "        \"nt_resources_end:\\n\"\n"
      "        \".previous\\n\");\n")
    configure_file("${embed}.in" "${embed}" COPYONLY)
    set_source_files_properties("${embed}" PROPERTIES OBJECT_DEPENDS "${joined}")
    target_sources(${target} PRIVATE "${embed}")
  endfunction()
endif()
