# The console program built for Windows, copied under another file name, is no
# host to the plug-in: execute returns false before it asks or logs anything,
# the log pane stays empty, no protocol is written, and the program says why
# and exits with 1. The same bytes named MirovaneZR.exe, in the same folder,
# convert the log: the file name is the only difference.
#   cmake -DWINE=... -DWINDOWS_HOST=... -DPLUGIN=... -DLOG=... -DWORK=... -P another_file_name.cmake
include(${CMAKE_CURRENT_LIST_DIR}/host_runs.cmake)

set(folder "${WORK}/host")
file(MAKE_DIRECTORY "${folder}")
file(COPY_FILE "${LOG}" "${folder}/flanker_run1.log")
file(COPY_FILE "${WINDOWS_HOST}" "${folder}/ZrViewer.exe")
file(COPY_FILE "${WINDOWS_HOST}" "${folder}/MirovaneZR.exe")
set(not_run "the plug-in did not run: it returned false before asking anything, as it found no host to bind to")

set(WINDOWS_HOST "${folder}/ZrViewer.exe")
run_host(windows "${folder}" convert 1 --log-pane convert-pane.txt convert --subject-column flanker_run1.log)
expect_contains("the error output of convert" "${host_err}" "stimloom-host: ${not_run}")
expect_contains("the error output of convert" "${host_err}"
                "stimloom-host: not converted: flanker_run1.log (the plug-in did not run)")
if(NOT host_out STREQUAL "")
  message(FATAL_ERROR "convert printed a summary although nothing was converted:\n${host_out}")
endif()
if(EXISTS "${folder}/flanker_run1.prt")
  message(FATAL_ERROR "a protocol was written although the plug-in did not run")
endif()

# A plain run: the menu is never asked, so the scripted answers stay unused.
run_host(windows "${folder}" menu 1 --log-pane menu-pane.txt --answers 1,flanker_run1.log,2,,)
expect_contains("the error output of a plain run" "${host_err}" "stimloom-host: ${not_run}")

foreach(pane convert-pane.txt menu-pane.txt)
  if(NOT EXISTS "${folder}/${pane}")
    message(FATAL_ERROR "the log pane file ${pane} was not opened")
  endif()
  file(SIZE "${folder}/${pane}" size)
  if(NOT size EQUAL 0)
    file(READ "${folder}/${pane}" text)
    message(FATAL_ERROR "the plug-in logged although it found no host:\n${text}")
  endif()
endforeach()

set(WINDOWS_HOST "${folder}/MirovaneZR.exe")
run_host(windows "${folder}" named 0 --log-pane named-pane.txt convert --subject-column flanker_run1.log)
expect_contains("the summary under the host's name" "${host_out}" "converted flanker_run1.log: 8 conditions, ")
if(NOT EXISTS "${folder}/flanker_run1.prt")
  message(FATAL_ERROR "no protocol was written under the host's name")
endif()
file(READ "${folder}/named-pane.txt" pane)
expect_contains("the log pane under the host's name" "${pane}" "\nstimloom> Started...\n")
