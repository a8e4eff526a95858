# The Windows program converts logs given by Windows paths, as the desktop
# host's file dialog returns them: one on a drive letter (Z:, which wine maps
# to /) with CRLF line ends as Presentation writes them on Windows, one on C:
# (wine's own drive), one relative with backslashes and a space. Each protocol
# must land beside its log, carry that path in its FileName line, and
# otherwise be the very file the Linux program makes from the log.
#   cmake -DWINE=... -DWINDOWS_HOST=... -DPLUGIN=... -DLINUX_HOST=... -DLOG=... -DWORK=...
#         -DWINE_PREFIX=... -P windows_paths.cmake
include(${CMAKE_CURRENT_LIST_DIR}/host_runs.cmake)

if(NOT IS_DIRECTORY "${WINE_PREFIX}/dosdevices/z:" OR NOT IS_DIRECTORY "${WINE_PREFIX}/drive_c")
  message(FATAL_ERROR "the wine prefix ${WINE_PREFIX} has no drive Z: mapped to / or no drive C:")
endif()

# The reference, from Linux.
set(linux "${WORK}/linux")
file(MAKE_DIRECTORY "${linux}")
file(COPY_FILE "${LOG}" "${linux}/flanker_run1.log")
run_host(linux "${linux}" convert 0 --log-pane pane.txt convert --subject-column flanker_run1.log)
string(REGEX MATCH "^converted flanker_run1.log: ([^\n]+) -> flanker_run1.prt( \\(layout: [^\n]+\\))\n$" matched
             "${host_out}")
if(NOT matched)
  message(FATAL_ERROR "the Linux summary is not one line for flanker_run1.log:\n${host_out}")
endif()
set(counts "${CMAKE_MATCH_1}")
set(layout "${CMAKE_MATCH_2}")
read_lf_text(reference "${linux}/flanker_run1.prt")
string(REGEX REPLACE "\nFileName: [^\n]*\n" "\nFileName: <path>\n" reference "${reference}")

# The three logs: Z:\...\on drive z\flanker_run1.log (CRLF), C:\stimloom paths\flanker_run1.log,
# and "sub dir\flanker_run1.log" from the working folder.
set(windows "${WORK}/windows")
file(READ "${LOG}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${windows}/on drive z/flanker_run1.log" "${text}")
windows_path(z_log "${windows}/on drive z/flanker_run1.log")

set(c_folder "${WINE_PREFIX}/drive_c/stimloom paths")
file(REMOVE_RECURSE "${c_folder}")
file(MAKE_DIRECTORY "${c_folder}")
file(COPY_FILE "${LOG}" "${c_folder}/flanker_run1.log")
set(c_log "C:\\stimloom paths\\flanker_run1.log")

file(MAKE_DIRECTORY "${windows}/sub dir")
file(COPY_FILE "${LOG}" "${windows}/sub dir/flanker_run1.log")
set(relative_log "sub dir\\flanker_run1.log")

run_host(windows "${windows}" convert 0 --log-pane pane.txt convert --subject-column "${z_log}" "${c_log}" "${relative_log}")

set(expected_summary "")
foreach(log IN ITEMS "${z_log}" "${c_log}" "${relative_log}")
  string(REGEX REPLACE "\\.log$" ".prt" protocol "${log}")
  string(APPEND expected_summary "converted ${log}: ${counts} -> ${protocol}${layout}\r\n")
endforeach()
expect_bytes("the Windows summary" "${windows}/convert.out" "${expected_summary}")

expect_crlf_line_ends("the log pane" "${windows}/pane.txt")
file(READ "${windows}/pane.txt" pane)
foreach(log IN ITEMS "${z_log}" "${c_log}" "${relative_log}")
  string(REGEX REPLACE "\\.log$" "_MSEC.prt" tagged "${log}")
  expect_contains("the log pane" "${pane}" "Creating protocol name:\n\n\t${tagged}\n")
endforeach()

# Each protocol beside its log and nowhere else.
foreach(pair IN ITEMS "on drive z|${windows}/on drive z|${z_log}" "C:|${c_folder}|${c_log}"
                      "sub dir|${windows}/sub dir|${relative_log}")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 what)
  list(GET pair 1 folder)
  list(GET pair 2 log)
  file(GLOB written RELATIVE "${folder}" "${folder}/*")
  list(SORT written)
  if(NOT written STREQUAL "flanker_run1.log;flanker_run1.prt")
    message(FATAL_ERROR "the folder ${folder} holds ${written}, not the log and its protocol")
  endif()
  string(REGEX REPLACE "\\.log$" ".prt" saved_name "${log}")
  read_lf_text(protocol "${folder}/flanker_run1.prt")
  expect_contains("the protocol in ${what}" "${protocol}" "\nFileName: ${saved_name}\n")
  string(REGEX REPLACE "\nFileName: [^\n]*\n" "\nFileName: <path>\n" protocol "${protocol}")
  if(NOT protocol STREQUAL reference)
    file(WRITE "${WORK}/expected.prt" "${reference}")
    file(WRITE "${WORK}/actual.prt" "${protocol}")
    execute_process(COMMAND diff -u "${WORK}/expected.prt" "${WORK}/actual.prt" OUTPUT_VARIABLE difference)
    message(FATAL_ERROR "the protocol of ${log} differs from Linux's beyond its FileName line\n${difference}")
  endif()
endforeach()
file(GLOB written RELATIVE "${windows}" "${windows}/*")
list(SORT written)
if(NOT written STREQUAL "convert.err;convert.out;on drive z;pane.txt;sub dir")
  message(FATAL_ERROR "the working folder ${windows} holds ${written}: a protocol went astray")
endif()
file(REMOVE_RECURSE "${c_folder}")
