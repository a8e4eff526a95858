# The plug-in library's dynamic symbol table holds exactly the entry points
# and the plug-in object's members.
execute_process(COMMAND nm -D --defined-only ${PLUGIN} OUTPUT_VARIABLE table RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${PLUGIN}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${table}")
set(exported "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
  if(NOT name MATCHES "^(_init|_fini|_edata|_end|__bss_start)$" AND NOT name MATCHES "@")
    list(APPEND exported "${name}")
  endif()
endforeach()
list(SORT exported)
set(expected
  _ZN8Stimloom7executeEv _ZN8StimloomC1Ev _ZN8StimloomC2Ev _ZN8StimloomD0Ev _ZN8StimloomD1Ev
  _ZN8StimloomD2Ev _ZNK8Stimloom11isAvailableEv _ZTV19MNZRPluginInterface createPlugin getAuthor
  getHelpFile getPluginDescription getPluginName getRegistrationOfGenericComponentLoader)
list(SORT expected)
if(NOT exported STREQUAL expected)
  message(FATAL_ERROR "exports differ\n  expected: ${expected}\n  found:    ${exported}")
endif()
message(STATUS "exports: ${exported}")
