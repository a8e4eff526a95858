# The header-only libraries the console program and the exporters use, from
# Debian's packages (libcli11-dev, nlohmann-json3-dev, libeigen3-dev). Just their folders are
# copied into the build tree and given as SYSTEM includes: never all of
# /usr/include, which would shadow the cross compiler's own headers.
#   stimloom::cli11   CLI/CLI.hpp
#   stimloom::json    nlohmann/json.hpp
#   stimloom::eigen   Eigen/Dense (the design check's linear algebra)
set(header_library_root ${PROJECT_BINARY_DIR}/third_party/include)

# ARGN: folders under /usr/include to look in too, eg eigen3.
function(stimloom_header_library target probe folder package)
  find_path(${target}_DIR ${probe} PATHS /usr/include PATH_SUFFIXES ${ARGN} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${target}_DIR)
    message(FATAL_ERROR "${probe} was not found: install the Debian package ${package} (cmake/ensure-packages.sh base)")
  endif()
  file(COPY ${${target}_DIR}/${folder} DESTINATION ${header_library_root})
  add_library(stimloom_${target} INTERFACE)
  target_include_directories(stimloom_${target} SYSTEM INTERFACE ${header_library_root})
  add_library(stimloom::${target} ALIAS stimloom_${target})
endfunction()

stimloom_header_library(cli11 CLI/CLI.hpp CLI libcli11-dev)
stimloom_header_library(json nlohmann/json.hpp nlohmann nlohmann-json3-dev)
stimloom_header_library(eigen Eigen/Dense Eigen libeigen3-dev eigen3)
