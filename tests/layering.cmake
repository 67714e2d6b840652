# Checks that no folder of src/ includes a header of a folder above it.
#   cmake -DSOURCE_DIR=<repository> -P tests/layering.cmake
# The layers, lowest first: a file includes only from its own folder and the
# folders before it. The files directly in src/ (the programs' main) may
# include anything; a folder missing from the list is an error, so a new one
# is given its place here.
set(layers
    core
    common
    net
    http
    mail
    ping
    history
    app/view
    app/settings
    app/offline
    app/alert
    app/outage
    app/history_view
    app/watch
    app/monitor
    app/watch_list
    app/metrics
    app
    ui
    # The service's event loop (cli/headless_loop) runs on the window's timer;
    # the rest of cli links no Qt (CMakeLists.txt leaves it out of corvasse_cli).
    cli)

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
set(faults "")
foreach(file IN LISTS files)
  get_filename_component(folder ${file} DIRECTORY)
  if(folder STREQUAL "")
    continue()
  endif()
  list(FIND layers ${folder} rank)
  if(rank EQUAL -1)
    string(APPEND faults "src/${file}: its folder src/${folder} has no place in the layers\n")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/src/${file} includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]*)\".*" "\\1" header "${line}")
    get_filename_component(headerFolder ${header} DIRECTORY)
    list(FIND layers "${headerFolder}" headerRank)
    if(headerRank EQUAL -1 OR headerRank GREATER rank)
      string(APPEND faults "src/${file} (${folder}) includes ${header}, from a folder above it\n")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "The layers are crossed:\n${faults}")
endif()
list(LENGTH files count)
message(STATUS "${count} files keep to the layers")
