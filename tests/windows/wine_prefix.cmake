# Creates the wine prefix the Windows tests share, once: the first start of
# wine in a new prefix takes a while; later tests reuse it.
#   cmake -DPREFIX=... -DWINEBOOT=... -DWINESERVER=... -P wine_prefix.cmake
# WINEPREFIX, WINEARCH and WINEDEBUG come from the test's environment.
cmake_policy(VERSION 3.25)
if(NOT EXISTS ${PREFIX}/system.reg)
  string(TIMESTAMP started "%s")
  execute_process(COMMAND ${WINEBOOT} -i RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "wineboot -i failed (${status}):\n${output}")
  endif()
  execute_process(COMMAND ${WINESERVER} -w)
  string(TIMESTAMP finished "%s")
  math(EXPR seconds "${finished} - ${started}")
  message(STATUS "created the wine prefix ${PREFIX} in ${seconds} s")
endif()
if(NOT EXISTS ${PREFIX}/system.reg)
  message(FATAL_ERROR "wineboot left no prefix in ${PREFIX}")
endif()
