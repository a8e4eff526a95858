# Helpers for the tests that run the console program built for Windows (under
# wine) and the one built for Linux, and compare what they write. Included by
# the scripts beside it, which are given:
#   WINE, WINDOWS_HOST (MirovaneZR.exe), PLUGIN (stimloom.dll), LOG (the
#   example log), WORK (a folder of the test's own, emptied first), and for
#   the comparisons LINUX_HOST (stimloom-host of a Linux build); the tests of
#   the analysis program also WINDOWS_STIMLOOM (stimloom.exe), LINUX_STIMLOOM
#   (stimloom of a Linux build) and SECOND_LOG (a second run of the study)
#
# CMake drops the CR of every CRLF when it reads a file as text or collects a
# program's output, so what must be compared byte for byte is kept in files
# and compared with `cmake -E compare_files`; text read into variables is for
# looking at, CRs gone.
cmake_policy(VERSION 3.25)

foreach(variable WINE WINDOWS_HOST PLUGIN LOG WORK)
  if(NOT DEFINED ${variable} OR "${${variable}}" STREQUAL "")
    message(FATAL_ERROR "${variable} is not given")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# windows_path(OUT PATH): an absolute path as Windows programs see it under
# wine, on the drive Z: that maps to /.
function(windows_path out path)
  string(REPLACE "/" "\\" path "${path}")
  set(${out} "Z:${path}" PARENT_SCOPE)
endfunction()

# run_host(PLATFORM FOLDER NAME STATUS ARGUMENTS...): runs the console program
# of PLATFORM (windows or linux) in FOLDER, which must exit with STATUS. Its
# standard output and error are kept as FOLDER/NAME.out and NAME.err, and
# their text (CRs dropped) is set as host_out and host_err in the caller. The
# Windows program is given the DLL with --plugin, by its Windows path, unless
# the caller sets PLUGIN_BESIDE_HOST: then it loads the one beside it. When
# the caller sets HOST_INPUT, that file is the program's standard input.
function(run_host platform folder name status)
  if(platform STREQUAL "windows")
    set(command "${WINE}" "${WINDOWS_HOST}")
    if(NOT PLUGIN_BESIDE_HOST)
      windows_path(plugin "${PLUGIN}")
      list(APPEND command --plugin "${plugin}")
    endif()
  elseif(platform STREQUAL "linux")
    if(NOT EXISTS "${LINUX_HOST}")
      message(FATAL_ERROR "the Linux stimloom-host to compare with is missing: '${LINUX_HOST}'\n"
                          "Build the dev preset first (bash tests/run-all builds it before the Windows build), "
                          "or configure with -DSTIMLOOM_LINUX_HOST=<a Linux build's stimloom-host>.")
    endif()
    set(command "${LINUX_HOST}")
  else()
    message(FATAL_ERROR "run_host: unknown platform ${platform}")
  endif()
  set(input "")
  if(HOST_INPUT)
    set(input INPUT_FILE "${HOST_INPUT}")
  endif()
  execute_process(COMMAND ${command} ${ARGN} WORKING_DIRECTORY "${folder}" ${input}
                  OUTPUT_FILE "${folder}/${name}.out" ERROR_FILE "${folder}/${name}.err" RESULT_VARIABLE result)
  file(READ "${folder}/${name}.out" out)
  file(READ "${folder}/${name}.err" err)
  if(NOT "${result}" STREQUAL "${status}")
    message(FATAL_ERROR "${platform}: ${ARGN}\n  in ${folder}\n  exited with ${result}, not ${status}\n"
                        "standard output:\n${out}\nstandard error:\n${err}")
  endif()
  set(host_out "${out}" PARENT_SCOPE)
  set(host_err "${err}" PARENT_SCOPE)
endfunction()

# run_stimloom(PLATFORM FOLDER NAME STATUS ARGUMENTS...): as run_host, with
# stimloom, the analysis program: WINDOWS_STIMLOOM (stimloom.exe) under wine,
# or LINUX_STIMLOOM.
function(run_stimloom platform folder name status)
  if(platform STREQUAL "windows")
    set(command "${WINE}" "${WINDOWS_STIMLOOM}")
  elseif(platform STREQUAL "linux")
    if(NOT EXISTS "${LINUX_STIMLOOM}")
      message(FATAL_ERROR "the Linux stimloom to compare with is missing: '${LINUX_STIMLOOM}'\n"
                          "Build the dev preset first (bash tests/run-all builds it before the Windows build), "
                          "or configure with -DSTIMLOOM_LINUX_PROGRAM=<a Linux build's stimloom>.")
    endif()
    set(command "${LINUX_STIMLOOM}")
  else()
    message(FATAL_ERROR "run_stimloom: unknown platform ${platform}")
  endif()
  execute_process(COMMAND ${command} ${ARGN} WORKING_DIRECTORY "${folder}" OUTPUT_FILE "${folder}/${name}.out"
                  ERROR_FILE "${folder}/${name}.err" RESULT_VARIABLE result)
  file(READ "${folder}/${name}.out" out)
  file(READ "${folder}/${name}.err" err)
  if(NOT "${result}" STREQUAL "${status}")
    message(FATAL_ERROR "${platform} stimloom: ${ARGN}\n  in ${folder}\n  exited with ${result}, not ${status}\n"
                        "standard output:\n${out}\nstandard error:\n${err}")
  endif()
  set(host_out "${out}" PARENT_SCOPE)
  set(host_err "${err}" PARENT_SCOPE)
endfunction()

# expect_bytes(WHAT FILE EXPECTED): FILE holds exactly the text EXPECTED.
function(expect_bytes what file expected)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${what}: ${file} was not written")
  endif()
  string(MAKE_C_IDENTIFIER "${what}" name)
  set(expected_file "${WORK}/expected-${name}")
  file(WRITE "${expected_file}" "${expected}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${expected_file}" "${file}" RESULT_VARIABLE differs)
  if(differs)
    execute_process(COMMAND diff -u "${expected_file}" "${file}" OUTPUT_VARIABLE difference)
    execute_process(COMMAND diff -u --strip-trailing-cr "${expected_file}" "${file}" RESULT_VARIABLE only_line_ends)
    if(only_line_ends EQUAL 0)
      set(difference "(they differ in their line ends only)\n${difference}")
    endif()
    message(FATAL_ERROR "${what}: ${file} is not ${expected_file}\n${difference}")
  endif()
endfunction()

# read_lf_text(OUT FILE): the text of FILE, which must hold no CR (a CR would
# be dropped by CMake unseen): LF line ends only.
function(read_lf_text out file)
  file(READ "${file}" text)
  file(SIZE "${file}" size)
  string(LENGTH "${text}" length)
  if(NOT size EQUAL length)
    message(FATAL_ERROR "${file} holds CRs or bytes CMake cannot read as text; LF line ends were expected")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# expect_windows_text(WHAT WINDOWS_FILE LINUX_FILE): the Windows program's text
# must be the Linux one's with every line end written as CRLF, as the Windows
# C runtime writes text files and standard output in text mode; a bare LF, or
# any other difference, fails.
function(expect_windows_text what windows linux)
  read_lf_text(text "${linux}")
  string(REPLACE "\n" "\r\n" expected "${text}")
  expect_bytes("${what}" "${windows}" "${expected}")
endfunction()

# expect_same_file(WHAT WINDOWS_FILE LINUX_FILE): byte for byte.
function(expect_same_file what windows linux)
  foreach(file IN ITEMS "${windows}" "${linux}")
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "${what}: ${file} was not written")
    endif()
  endforeach()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${windows}" "${linux}" RESULT_VARIABLE differs)
  if(differs)
    execute_process(COMMAND diff -u "${linux}" "${windows}" OUTPUT_VARIABLE difference)
    message(FATAL_ERROR "${what} differs between Windows (${windows}) and Linux (${linux})\n${difference}")
  endif()
endfunction()

# expect_crlf_line_ends(WHAT FILE): every LF of FILE follows a CR, and every CR
# comes before an LF.
function(expect_crlf_line_ends what file)
  file(READ "${file}" bytes HEX)
  string(REGEX MATCHALL ".." bytes "${bytes}")
  set(previous "")
  foreach(byte IN LISTS bytes)
    if((byte STREQUAL "0a" AND NOT previous STREQUAL "0d") OR (previous STREQUAL "0d" AND NOT byte STREQUAL "0a"))
      message(FATAL_ERROR "${what}: ${file} has a line end other than CRLF")
    endif()
    set(previous "${byte}")
  endforeach()
  if(previous STREQUAL "0d")
    message(FATAL_ERROR "${what}: ${file} ends with a CR")
  endif()
endfunction()

# expect_contains(WHAT TEXT PIECE)
function(expect_contains what text piece)
  string(FIND "${text}" "${piece}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what} does not hold \"${piece}\":\n${text}")
  endif()
endfunction()
