# The pure folders include nothing of the host, the plug-in, the stand-in
# host or the console front end, and no header of the operating system: they
# take and return values. The console front end, which stimloom is made of,
# includes nothing of the host, the plug-in or the stand-in host.
#   cmake -DSOURCE=<project root> -P pure_folders.cmake
set(found "")
function(check_folders folders forbidden)
  foreach(folder IN LISTS folders)
    file(GLOB_RECURSE sources ${SOURCE}/${folder}/*.h ${SOURCE}/${folder}/*.cpp)
    foreach(source IN LISTS sources)
      file(STRINGS ${source} includes REGEX "^#include ")
      foreach(line IN LISTS includes)
        if(line MATCHES "${forbidden}")
          file(RELATIVE_PATH name ${SOURCE} ${source})
          list(APPEND found "${name}: ${line}")
        endif()
      endforeach()
    endforeach()
  endforeach()
  set(found "${found}" PARENT_SCOPE)
endfunction()
check_folders("log;protocol;util;export;plot;design"
              "^#include [<\"](host/|plugin/|standin/|console/|windows\\.h|unistd\\.h|dlfcn\\.h|link\\.h|sys/|fcntl\\.h|io\\.h)")
check_folders("console" "^#include [<\"](host/|plugin/|standin/)")
if(found)
  list(JOIN found "\n  " lines)
  message(FATAL_ERROR "code includes what it must not:\n  ${lines}")
endif()
message(STATUS "log/, protocol/, util/, export/, plot/ and design/ include no host, plug-in, stand-in, console or system header; "
               "console/ includes no host, plug-in or stand-in header")
