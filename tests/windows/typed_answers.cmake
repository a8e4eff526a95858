# The menu run on the terminal: the answers typed on standard input, with
# CRLF line ends into the Windows program as a Windows console gives them and
# LF into the Linux one. Operation 1 on the example log (Subject column, the
# TR and the duration rule by default), then operation 2 (add 250) on the
# protocol it saved, opened with --protocol. The prompts on standard error,
# the log pane and the protocols must be the same on both, the Windows
# program's text with CRLF line ends.
#   cmake -DWINE=... -DWINDOWS_HOST=... -DPLUGIN=... -DLINUX_HOST=... -DLOG=... -DWORK=...
#         -P typed_answers.cmake
include(${CMAKE_CURRENT_LIST_DIR}/host_runs.cmake)

file(WRITE "${WORK}/create-lf.txt" "1\nflanker_run1.log\n2\n\n\n")
file(WRITE "${WORK}/create-crlf.txt" "1\r\nflanker_run1.log\r\n2\r\n\r\n\r\n")
file(WRITE "${WORK}/shift-lf.txt" "2\n250\nn\n")
file(WRITE "${WORK}/shift-crlf.txt" "2\r\n250\r\nn\r\n")

foreach(platform windows linux)
  if(platform STREQUAL "windows")
    set(ends crlf)
  else()
    set(ends lf)
  endif()
  set(folder "${WORK}/${platform}")
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${LOG}" "${folder}/flanker_run1.log")
  set(HOST_INPUT "${WORK}/create-${ends}.txt")
  run_host(${platform} "${folder}" create 0)
  file(COPY_FILE "${folder}/flanker_run1.prt" "${folder}/after-create.prt")
  set(HOST_INPUT "${WORK}/shift-${ends}.txt")
  run_host(${platform} "${folder}" shift 0 --protocol flanker_run1.prt)
endforeach()

foreach(step create shift)
  foreach(kept IN ITEMS .out .err)
    expect_windows_text("${step}${kept}" "${WORK}/windows/${step}${kept}" "${WORK}/linux/${step}${kept}")
  endforeach()
endforeach()
expect_same_file("the protocol typed into being" "${WORK}/windows/after-create.prt" "${WORK}/linux/after-create.prt")
expect_same_file("the protocol shifted by typing" "${WORK}/windows/flanker_run1.prt" "${WORK}/linux/flanker_run1.prt")

# What was asked and done.
file(READ "${WORK}/linux/create.err" asked)
expect_contains("the prompts" "${asked}" "Please select an option:\n\n1 = Create stimulation protocol")
expect_contains("the prompts" "${asked}" "What is the TR in milliseconds?\n(1 to 100000) [2000]: ")
file(READ "${WORK}/linux/create.out" pane)
expect_contains("the log pane" "${pane}" "Plugin operations finished successfully.\nFinished.\n")
file(READ "${WORK}/linux/shift.out" pane)
expect_contains("the log pane of the shift" "${pane}" "Changing protocol offset with 250...\n")
read_lf_text(created "${WORK}/linux/after-create.prt")
read_lf_text(shifted "${WORK}/linux/flanker_run1.prt")
if(created STREQUAL shifted)
  message(FATAL_ERROR "the typed shift left the protocol as it was")
endif()
