# Warnings are errors on both compilers.
add_compile_options(-Wall -Wextra -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # The module's records and Win32 structs are copied with memcpy/memset on purpose.
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-class-memaccess>)
endif()

set(NT_SANITIZE "" CACHE STRING "Sanitizers for the Linux build, e.g. address,undefined or thread")
if(NT_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=${NT_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${NT_SANITIZE})
endif()
