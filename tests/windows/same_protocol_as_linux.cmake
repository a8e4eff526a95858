# The console program built for Windows, run under wine with the DLL, and the
# one built for Linux, each in a folder of its own, run the three operations
# on a copy of the same log given by the same relative path: create the
# protocol (Subject column), shift it, sort its conditions. After every step
# the saved protocol must be the same file byte for byte; the relative path
# makes even its FileName line the same. The log pane and the summaries must
# be the same text, the Windows program writing them, as Windows text files,
# with CRLF line ends.
#   cmake -DWINE=... -DWINDOWS_HOST=... -DPLUGIN=... -DLINUX_HOST=... -DLOG=... -DWORK=...
#         -P same_protocol_as_linux.cmake
include(${CMAKE_CURRENT_LIST_DIR}/host_runs.cmake)

set(steps convert shift sort)
set(convert_arguments convert --subject-column flanker_run1.log)
# More than the first interval's start, so that starts are held at 0.
set(shift_arguments shift --protocol flanker_run1.prt --amount 15250 --subtract)
set(sort_arguments sort --protocol flanker_run1.prt --order 2,4,6,8,1,3,5,7)

foreach(platform windows linux)
  set(folder "${WORK}/${platform}")
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${LOG}" "${folder}/flanker_run1.log")
  foreach(step IN LISTS steps)
    run_host(${platform} "${folder}" ${step} 0 --log-pane ${step}-pane.txt ${${step}_arguments})
    set(${platform}_${step}_out "${host_out}")
    file(COPY_FILE "${folder}/flanker_run1.prt" "${folder}/after-${step}.prt")
    if(step STREQUAL "convert")
      file(READ "${folder}/after-convert.prt" converted)
      expect_contains("the ${platform} protocol" "${converted}" "\nNrOfConditions: 8\n")
    endif()
  endforeach()
endforeach()

foreach(step IN LISTS steps)
  expect_same_file("the protocol after ${step}" "${WORK}/windows/after-${step}.prt" "${WORK}/linux/after-${step}.prt")
  foreach(kept IN ITEMS -pane.txt .out .err)
    expect_windows_text("${step}${kept}" "${WORK}/windows/${step}${kept}" "${WORK}/linux/${step}${kept}")
  endforeach()
endforeach()

# Each step did its work: the files of two steps differ, and the panes and
# summaries say what was done.
file(READ "${WORK}/linux/after-convert.prt" converted)
file(READ "${WORK}/linux/after-shift.prt" shifted)
file(READ "${WORK}/linux/after-sort.prt" sorted)
if(converted STREQUAL shifted OR shifted STREQUAL sorted)
  message(FATAL_ERROR "shift or sort left the protocol as it was")
endif()
expect_contains("the created protocol" "${converted}" "\nFileName: flanker_run1.prt\nExperimentName: flanker_run1\n")
expect_contains("the shifted protocol" "${shifted}" "\nNrOfIntervals: 16\n0 ")
expect_contains("the convert summary" "${linux_convert_out}" "converted flanker_run1.log: 8 conditions, ")
expect_contains("the shift summary" "${linux_shift_out}" "shifted flanker_run1.prt\n")
expect_contains("the sort summary" "${linux_sort_out}" "sorted flanker_run1.prt\n")
file(READ "${WORK}/linux/convert-pane.txt" pane)
expect_contains("the convert pane" "${pane}" "\nstimloom> Started...\nRead Presentation log file...\n")
expect_contains("the convert pane" "${pane}" "Plugin operations finished successfully.\nFinished.\n\n")
