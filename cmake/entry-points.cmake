# The plug-in's exports, read from plugin/entry_points.def (the one list of
# them), and the export tables written from it:
#   STIMLOOM_PLUGIN_EXPORTS   every exported name, entry points first
#   STIMLOOM_PLUGIN_DATA      the names among them that are data
#   STIMLOOM_EXPORTS_MAP      the Linux version script
#   STIMLOOM_EXPORTS_DEF      the Windows module-definition file
set(entry_points_file ${PROJECT_SOURCE_DIR}/plugin/entry_points.def)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${entry_points_file})
file(STRINGS ${entry_points_file} entry_rows REGEX "^STIMLOOM_(ENTRY_POINT|EXPORTED_MEMBER|EXPORTED_DATA)\\(")

set(STIMLOOM_PLUGIN_EXPORTS "")
set(STIMLOOM_PLUGIN_DATA "")
foreach(row IN LISTS entry_rows)
  string(REGEX REPLACE "^STIMLOOM_([A-Z_]+)\\(([A-Za-z0-9_]+).*" "\\1;\\2" parsed "${row}")
  list(GET parsed 0 kind)
  list(GET parsed 1 name)
  list(APPEND STIMLOOM_PLUGIN_EXPORTS ${name})
  if(kind STREQUAL "EXPORTED_DATA")
    list(APPEND STIMLOOM_PLUGIN_DATA ${name})
  endif()
endforeach()

set(map_text "/* Written by cmake/entry-points.cmake from plugin/entry_points.def. */\n{\n  global:\n")
set(def_text "; Written by cmake/entry-points.cmake from plugin/entry_points.def.\nLIBRARY stimloom.dll\nEXPORTS\n")
foreach(name IN LISTS STIMLOOM_PLUGIN_EXPORTS)
  string(APPEND map_text "    ${name};\n")
  if(name IN_LIST STIMLOOM_PLUGIN_DATA)
    string(APPEND def_text "  ${name} DATA\n")
  else()
    string(APPEND def_text "  ${name}\n")
  endif()
endforeach()
string(APPEND map_text "  local:\n    *;\n};\n")

set(STIMLOOM_EXPORTS_MAP ${PROJECT_BINARY_DIR}/generated/exports.map)
set(STIMLOOM_EXPORTS_DEF ${PROJECT_BINARY_DIR}/generated/stimloom.def)
file(CONFIGURE OUTPUT ${STIMLOOM_EXPORTS_MAP} CONTENT "${map_text}")
file(CONFIGURE OUTPUT ${STIMLOOM_EXPORTS_DEF} CONTENT "${def_text}")
