# Operation 1 under both duration rules, by the Windows program under wine and
# the Linux one, on a log given by LOG: the protocols must be the same bytes
# and the log panes the same text (CRLF on Windows). Run on a log whose times
# and durations have tenths, some pairs of times so placed that their
# difference is just below a whole number and rounds to it as a double: a
# 32-bit build that kept doubles at the x87 unit's 80 bits would truncate it
# to one less and end the interval a millisecond early.
#   cmake -DWINE=... -DWINDOWS_HOST=... -DPLUGIN=... -DLINUX_HOST=... -DLOG=... -DWORK=...
#         -P duration_rules.cmake
include(${CMAKE_CURRENT_LIST_DIR}/host_runs.cmake)

get_filename_component(log_name "${LOG}" NAME)
foreach(platform windows linux)
  set(folder "${WORK}/${platform}")
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${LOG}" "${folder}/${log_name}")
  foreach(rule 1 2)
    run_host(${platform} "${folder}" rule${rule} 0 --log-pane rule${rule}-pane.txt convert --subject-column
             --duration-rule ${rule} "${log_name}")
    string(REGEX REPLACE "\\.log$" ".prt" protocol "${log_name}")
    file(RENAME "${folder}/${protocol}" "${folder}/rule${rule}.prt")
  endforeach()
endforeach()

foreach(rule 1 2)
  expect_same_file("the protocol under rule ${rule}" "${WORK}/windows/rule${rule}.prt" "${WORK}/linux/rule${rule}.prt")
  foreach(kept IN ITEMS -pane.txt .out)
    expect_windows_text("rule${rule}${kept}" "${WORK}/windows/rule${rule}${kept}" "${WORK}/linux/rule${rule}${kept}")
  endforeach()
endforeach()
read_lf_text(until_next "${WORK}/linux/rule1.prt")
read_lf_text(own_duration "${WORK}/linux/rule2.prt")
if(until_next STREQUAL own_duration)
  message(FATAL_ERROR "the two duration rules gave the same protocol")
endif()
