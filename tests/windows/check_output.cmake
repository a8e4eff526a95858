# Runs a command and compares its standard output, line ends normalised, with
# an expected transcript; the command must also exit with 0. (CMake itself
# drops the CR of each CRLF it collects; the tests that hold the Windows
# programs' line ends to CRLF keep the output in files: host_runs.cmake.)
#   cmake -DEXPECTED=file.txt -P check_output.cmake -- program arguments...
cmake_policy(VERSION 3.25)
set(command "")
set(after_separator FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 1 ${last})
  if(after_separator)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(after_separator TRUE)
  endif()
endforeach()
if(command STREQUAL "")
  message(FATAL_ERROR "no command given after --")
endif()

execute_process(COMMAND ${command} OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
string(REPLACE "\r\n" "\n" output "${output}")
file(READ ${EXPECTED} expected)

if(NOT output STREQUAL expected)
  get_filename_component(name ${EXPECTED} NAME)
  set(actual_file ${CMAKE_CURRENT_BINARY_DIR}/actual-${name})
  file(WRITE ${actual_file} "${output}")
  execute_process(COMMAND diff -u ${EXPECTED} ${actual_file} OUTPUT_VARIABLE difference)
  message(FATAL_ERROR "output of ${command} differs from ${EXPECTED} (exit status ${status})\n"
                      "${difference}\nstandard error:\n${errors}")
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${command} exited with ${status}\nstandard error:\n${errors}")
endif()
