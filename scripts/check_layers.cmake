# Fails when a source file under SOURCES includes a header of a folder that
# its own folder may not use, as LAYERS (src/layers.cmake) lists them, or
# when a folder of SOURCES is missing from that list.
#
#   cmake -DLAYERS=src/layers.cmake -DSOURCES=src -P scripts/check_layers.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT LAYERS OR NOT SOURCES)
  message(FATAL_ERROR "usage: cmake -DLAYERS=<layers.cmake> -DSOURCES=<folder> -P check_layers.cmake")
endif()
include(${LAYERS})
get_filename_component(SOURCES ${SOURCES} ABSOLUTE)

set(problems "")
file(GLOB folders LIST_DIRECTORIES true RELATIVE ${SOURCES} ${SOURCES}/*)
foreach(folder IN LISTS folders)
  if(IS_DIRECTORY ${SOURCES}/${folder} AND NOT folder IN_LIST ORVANTA_LAYERS)
    list(APPEND problems "src/${folder}/ is not in the list of layers")
  endif()
endforeach()

set(checked 0)
foreach(folder IN LISTS ORVANTA_LAYERS)
  file(GLOB_RECURSE files RELATIVE ${SOURCES}
       ${SOURCES}/${folder}/*.h ${SOURCES}/${folder}/*.cpp ${SOURCES}/${folder}/*.in)
  foreach(file IN LISTS files)
    math(EXPR checked "${checked} + 1")
    file(STRINGS ${SOURCES}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*$" "\\1" used "${line}")
      if(used STREQUAL folder OR NOT used IN_LIST ORVANTA_LAYERS)
        continue()
      endif()
      if(NOT used IN_LIST ORVANTA_USES_${folder})
        string(STRIP "${line}" line)
        list(APPEND problems "${file}: ${folder} may not use ${used}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "Includes that cross the layers:\n${text}")
endif()
message(STATUS "${checked} files keep to the layers")
