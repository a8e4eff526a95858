# The exporters in the console program built for Windows, run under wine, and
# in the one built for Linux, on a copy of the same log given by the same
# relative path: every file of the BIDS, FSL, AFNI and SPM exports and the
# picture must be the same bytes (they are written as binary files, LF line
# ends, on every platform); the summaries the same text, CRLF on Windows.
#   cmake -DWINE=... -DWINDOWS_HOST=... -DPLUGIN=... -DLINUX_HOST=... -DLOG=... -DWORK=...
#         -P exports_as_linux.cmake
include(${CMAKE_CURRENT_LIST_DIR}/host_runs.cmake)

set(formats bids fsl afni spm)
foreach(platform windows linux)
  set(folder "${WORK}/${platform}")
  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${LOG}" "${folder}/flanker_run1.log")
  foreach(format IN LISTS formats)
    run_host(${platform} "${folder}" export-${format} 0 export --format ${format} --dummy-volumes 1 --out ${format}
             flanker_run1.log)
  endforeach()
  run_host(${platform} "${folder}" plot 0 plot --out picture flanker_run1.log)
endforeach()

foreach(output IN ITEMS bids fsl afni spm picture)
  file(GLOB_RECURSE written RELATIVE "${WORK}/linux/${output}" "${WORK}/linux/${output}/*")
  file(GLOB_RECURSE windows_written RELATIVE "${WORK}/windows/${output}" "${WORK}/windows/${output}/*")
  list(SORT written)
  list(SORT windows_written)
  if(NOT written STREQUAL windows_written OR written STREQUAL "")
    message(FATAL_ERROR "${output}: Linux wrote ${written}, Windows ${windows_written}")
  endif()
  foreach(file IN LISTS written)
    expect_same_file("${output}/${file}" "${WORK}/windows/${output}/${file}" "${WORK}/linux/${output}/${file}")
  endforeach()
endforeach()
foreach(step IN ITEMS export-bids export-fsl export-afni export-spm plot)
  expect_windows_text("${step}.out" "${WORK}/windows/${step}.out" "${WORK}/linux/${step}.out")
endforeach()
