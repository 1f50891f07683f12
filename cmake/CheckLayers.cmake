# Fails when a file of commonlib includes a header of a layer above its own.
#   cmake -DROOT=<source dir> -P cmake/CheckCommonlibLayers.cmake
# The build runs it whenever a file of commonlib changes, so a new upward include (the
# start of a cycle between the layers) fails the build where it is written.
#
# The layers, lowest first: a file may include its own layer and those listed before it.
# An entry names a directory ("util/") or single units of one ("util/FileUtils" stands for
# its .h and .cpp); a unit named on its own belongs there, every other file to its
# directory's entry. The log itself sits low, since everything logs; the report classes
# that share its directory sit above the diagnostics and reach HTTP through
# IReportCommand, which the HTTP layer implements.
set(layers
  "strings: util/"
  "core: core/"
  "log: logger/Log logger/BaseLogger logger/FileLogger logger/TraceLogger logger/ConsoleLogger logger/LogFileFormat"
  "util: util/FileUtils util/ProcessUtils util/ProtoValueJsonConvertor"
  "thread: thread/"
  "nettool: nettool/"
  "reports: logger/"
  "http: http/"
  "peer: peer/")

if(NOT ROOT)
  message(FATAL_ERROR "ROOT (the source directory) is not set")
endif()

# Layer number and name of each unit and directory named in the table.
set(index 0)
set(order "")
foreach(entry IN LISTS layers)
  string(REGEX MATCH "^([a-z]+): (.*)$" matched "${entry}")
  set(name "${CMAKE_MATCH_1}")
  if(order)
    string(APPEND order " < ")
  endif()
  string(APPEND order "${name}")
  string(REPLACE " " ";" items "${CMAKE_MATCH_2}")
  foreach(item IN LISTS items)
    set("layer_of_${item}" ${index})
    set("name_of_${item}" ${name})
  endforeach()
  math(EXPR index "${index} + 1")
endforeach()

# Sets <out> to the layer number of a unit ("dir/Name"), <out>_name to its layer's name;
# -1 when neither the unit nor its directory is in the table.
function(layer_of unit out)
  string(REGEX REPLACE "/.*$" "/" directory "${unit}")
  if(DEFINED "layer_of_${unit}")
    set(${out} ${layer_of_${unit}} PARENT_SCOPE)
    set(${out}_name ${name_of_${unit}} PARENT_SCOPE)
  elseif(DEFINED "layer_of_${directory}")
    set(${out} ${layer_of_${directory}} PARENT_SCOPE)
    set(${out}_name ${name_of_${directory}} PARENT_SCOPE)
  else()
    set(${out} -1 PARENT_SCOPE)
  endif()
endfunction()

file(GLOB_RECURSE files RELATIVE "${ROOT}/commonlib" "${ROOT}/commonlib/*.h" "${ROOT}/commonlib/*.cpp")
list(SORT files)
set(problems "")
foreach(file IN LISTS files)
  string(REGEX REPLACE "\\.[a-z]+$" "" unit "${file}")
  layer_of("${unit}" own)
  if(own EQUAL -1)
    string(APPEND problems "\n  commonlib/${file} is in no layer: add its directory to ${CMAKE_CURRENT_LIST_FILE}")
    continue()
  endif()
  file(STRINGS "${ROOT}/commonlib/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"commonlib/")
  foreach(line IN LISTS includes)
    string(REGEX MATCH "\"commonlib/([^\"]+)\"" matched "${line}")
    set(target "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "\\.[a-z]+$" "" target_unit "${target}")
    layer_of("${target_unit}" theirs)
    if(theirs GREATER own)
      string(APPEND problems
             "\n  commonlib/${file} (${own_name}) includes commonlib/${target} (${theirs_name}, a higher layer)")
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "commonlib's layers (${order}) must point one way:${problems}")
endif()
