# stimloom.exe, the program Windows users get, run under wine, and stimloom
# built for Linux, each in a folder of its own, on copies of the same logs
# given by the same relative paths: the example log alone, and a study of two
# runs. Every file of the BIDS, FSL, AFNI and SPM exports and the pictures
# must be the same bytes (they are written as binary files, LF line ends, on
# every platform); the summaries and warnings the same text, CRLF on Windows;
# the exit status the same, also for a study whose second run is missing.
#   cmake -DWINE=... -DWINDOWS_STIMLOOM=... -DLINUX_STIMLOOM=... -DLOG=... -DSECOND_LOG=... -DWORK=...
#         [-DWINDOWS_HOST=... -DPLUGIN=...] -P exports_as_linux.cmake
include(${CMAKE_CURRENT_LIST_DIR}/host_runs.cmake)

set(formats bids fsl afni spm)
# NAME|STATUS|ARGUMENTS, the arguments separated by commas.
set(steps "")
foreach(format IN LISTS formats)
  list(APPEND steps "one-${format}|0|export,--format,${format},--dummy-volumes,1,--out,one-${format},run1.log"
       "study-${format}|0|export,--format,${format},--out,study-${format},run1.log,run2.log")
endforeach()
list(APPEND steps "one-picture|0|plot,--out,one-picture,run1.log" "study-picture|0|plot,--out,study-picture,run1.log,run2.log"
     "missing-run|1|export,--format,spm,--out,missing-run,run1.log,run3.log")

foreach(platform windows linux)
  set(folder "${WORK}/${platform}")
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${LOG}" "${folder}/run1.log")
  file(COPY_FILE "${SECOND_LOG}" "${folder}/run2.log")
  foreach(step IN LISTS steps)
    string(REPLACE "|" ";" step "${step}")
    list(GET step 0 name)
    list(GET step 1 status)
    list(GET step 2 arguments)
    string(REPLACE "," ";" arguments "${arguments}")
    run_stimloom(${platform} "${folder}" ${name} ${status} ${arguments})
  endforeach()
endforeach()

foreach(step IN LISTS steps)
  string(REGEX REPLACE "\\|.*" "" name "${step}")
  file(GLOB_RECURSE written RELATIVE "${WORK}/linux/${name}" "${WORK}/linux/${name}/*")
  file(GLOB_RECURSE windows_written RELATIVE "${WORK}/windows/${name}" "${WORK}/windows/${name}/*")
  list(SORT written)
  list(SORT windows_written)
  if(NOT written STREQUAL windows_written OR written STREQUAL "")
    message(FATAL_ERROR "${name}: Linux wrote ${written}, Windows ${windows_written}")
  endif()
  foreach(file IN LISTS written)
    expect_same_file("${name}/${file}" "${WORK}/windows/${name}/${file}" "${WORK}/linux/${name}/${file}")
  endforeach()
  expect_windows_text("${name}.out" "${WORK}/windows/${name}.out" "${WORK}/linux/${name}.out")
  expect_windows_text("${name}.err" "${WORK}/windows/${name}.err" "${WORK}/linux/${name}.err")
endforeach()

# What was written: a run's files for each format, both runs in the study.
file(READ "${WORK}/linux/study-afni.out" said)
expect_contains("the AFNI summary" "${said}" "exported run2.log: ")
expect_contains("the AFNI summary" "${said}" "-> line 2 of each .1D file")
file(READ "${WORK}/linux/missing-run.err" said)
expect_contains("the missing run's error" "${said}" "stimloom: not exported: run3.log")
foreach(file IN ITEMS study-spm/run2_conditions.mat study-fsl/run2_fixation.txt study-picture/run2.svg
                      one-bids/run1_events.tsv)
  if(NOT EXISTS "${WORK}/linux/${file}")
    message(FATAL_ERROR "stimloom wrote no ${file}")
  endif()
endforeach()
