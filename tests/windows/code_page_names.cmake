# Names outside ASCII, as Windows users have them: the program and the DLL in
# a folder "Prüfung €\bin", the log "run–1 €.log" beside it. The arguments
# arrive in the ANSI code page (1252: the en dash is byte 150, the euro sign
# 128), the plug-in opens the log with them, and the program must load the
# DLL beside itself, save the protocol as "run–1 €.prt" beside the log, open
# it again to shift it, and read an answers file named "answers €.txt".
# The protocol is the Linux program's apart from its FileName and
# ExperimentName lines, which hold the log's name in code page 1252.
#   cmake -DWINE=... -DWINDOWS_HOST=... -DPLUGIN=... -DLINUX_HOST=... -DLOG=... -DWORK=...
#         -P code_page_names.cmake
# Wine must read Unix file names as UTF-8: run with LC_ALL=C.UTF-8.
include(${CMAKE_CURRENT_LIST_DIR}/host_runs.cmake)

set(linux "${WORK}/linux")
file(MAKE_DIRECTORY "${linux}")
file(COPY_FILE "${LOG}" "${linux}/flanker_run1.log")
run_host(linux "${linux}" convert 0 --log-pane pane.txt convert --subject-column flanker_run1.log)
read_lf_text(reference "${linux}/flanker_run1.prt")
string(REGEX REPLACE "\nFileName: [^\n]*\n" "\nFileName: <path>\n" reference "${reference}")

set(folder "${WORK}/Prüfung €")
file(MAKE_DIRECTORY "${folder}/bin")
file(COPY_FILE "${WINDOWS_HOST}" "${folder}/bin/MirovaneZR.exe")
file(COPY_FILE "${PLUGIN}" "${folder}/bin/stimloom.dll")
file(COPY_FILE "${LOG}" "${folder}/run–1 €.log")
file(COPY_FILE "${LOG}" "${folder}/plain.log")
set(WINDOWS_HOST "${folder}/bin/MirovaneZR.exe")
set(PLUGIN_BESIDE_HOST TRUE)

run_host(windows "${folder}" convert 0 --log-pane convert-pane.txt convert --subject-column "run–1 €.log")
if(NOT EXISTS "${folder}/run–1 €.prt")
  file(GLOB written RELATIVE "${folder}" "${folder}/*")
  message(FATAL_ERROR "no protocol run–1 €.prt beside the log; the folder holds ${written}")
endif()
# The names inside the protocol are the log's, in code page 1252, byte for byte.
file(READ "${folder}/run–1 €.prt" bytes HEX)
foreach(line IN ITEMS "FileName: run\\x961 \\x80.prt|0a46696c654e616d653a2072756e963120802e7072740a"
                      "ExperimentName: run\\x961 \\x80|0a4578706572696d656e744e616d653a2072756e963120800a")
  string(REPLACE "|" ";" line "${line}")
  list(GET line 0 text)
  list(GET line 1 hex)
  string(FIND "${bytes}" "${hex}" at)
  math(EXPR odd "${at} % 2")
  if(at EQUAL -1 OR odd)
    message(FATAL_ERROR "run–1 €.prt has no line \"${text}\" (hex ${hex}):\n${bytes}")
  endif()
endforeach()
read_lf_text(converted "${folder}/run–1 €.prt")
string(REGEX REPLACE "\nFileName: [^\n]*\nExperimentName: [^\n]*\n" "\nFileName: <path>\nExperimentName: <name>\n"
                     normalised "${converted}")
string(REGEX REPLACE "\nExperimentName: [^\n]*\n" "\nExperimentName: <name>\n" reference_named "${reference}")
if(NOT normalised STREQUAL reference_named)
  message(FATAL_ERROR "the protocol of run–1 €.log differs from Linux's beyond its names:\n${converted}")
endif()

run_host(windows "${folder}" shift 0 --log-pane shift-pane.txt shift --protocol "run–1 €.prt" --amount 100 --add)
read_lf_text(shifted "${folder}/run–1 €.prt")
if(shifted STREQUAL converted)
  message(FATAL_ERROR "the shift left run–1 €.prt as it was")
endif()

file(WRITE "${folder}/answers €.txt" "1\nplain.log\n2\n\n\n")
run_host(windows "${folder}" answered 0 --log-pane answered-pane.txt --answers-file "answers €.txt")
read_lf_text(answered "${folder}/plain.prt")
string(REPLACE "\nFileName: plain.prt\nExperimentName: plain\n" "\nFileName: <path>\nExperimentName: <name>\n"
               answered "${answered}")
if(NOT answered STREQUAL reference_named)
  message(FATAL_ERROR "the protocol made with the answers file differs from Linux's:\n${answered}")
endif()

file(GLOB written RELATIVE "${folder}" "${folder}/*.prt")
list(SORT written)
if(NOT written STREQUAL "plain.prt;run–1 €.prt")
  message(FATAL_ERROR "the folder holds the protocols ${written}, not plain.prt and run–1 €.prt")
endif()
