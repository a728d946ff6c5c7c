# cmake -DREADELF=... -DFILE=... -DQT=ON|OFF -P check_needed_libraries.cmake
# Whether FILE's dynamic section names Qt libraries among the ones it needs, as QT says.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${READELF} --dynamic ${FILE} RESULT_VARIABLE status
                OUTPUT_VARIABLE dynamic ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${READELF} --dynamic ${FILE} failed (${status}): ${errors}")
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]*\\]" entries "${dynamic}")
set(needed)
foreach(entry IN LISTS entries)
  string(REGEX REPLACE ".*\\[(.*)\\]" "\\1" library "${entry}")
  list(APPEND needed ${library})
endforeach()
# Every program of this kind needs the C library: without it, the entries were not read.
if(NOT "libc.so.6" IN_LIST needed)
  message(FATAL_ERROR "no libc.so.6 among the libraries ${FILE} needs ('${needed}'): "
                      "the dynamic section was not read")
endif()
set(qt ${needed})
list(FILTER qt INCLUDE REGEX "^libQt")
if(QT AND NOT qt)
  message(FATAL_ERROR "${FILE} needs no Qt library: '${needed}'")
elseif(NOT QT AND qt)
  message(FATAL_ERROR "${FILE} needs Qt libraries: '${qt}'")
endif()
message(STATUS "${FILE} needs: ${needed}")
