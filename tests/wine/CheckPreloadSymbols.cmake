# cmake -DLIBRARY=<.so> -DSYMBOLS=<names> -P CheckPreloadSymbols.cmake
# Fails unless the library defines every named dynamic symbol.
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE defined RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm could not read ${LIBRARY}")
endif()
foreach(symbol IN LISTS SYMBOLS)
  if(NOT defined MATCHES "[ \t]T ${symbol}\n")
    message(FATAL_ERROR "${LIBRARY} does not define ${symbol}")
  endif()
endforeach()
message(STATUS "${LIBRARY} defines ${SYMBOLS}")
