# Fails when a file of a library (commonlib or ui) includes a header of a layer above its own.
#   cmake -DROOT=<source dir> -DLIBRARY=<commonlib|ui> -P cmake/CheckLayers.cmake
# The build runs it whenever a file of the library changes, so a new upward include (the
# start of a cycle between the layers) fails the build where it is written.
#
# The layers, lowest first: a file may include its own layer and those listed before it.
# An entry names a directory ("util/") or single units of one ("util/FileUtils" stands for
# its .h and .cpp); a unit named on its own belongs there, every other file to its
# directory's entry.
#
# commonlib: the log itself sits low, since everything logs; the report classes that share
# its directory sit above the diagnostics and reach HTTP through IReportCommand, which the
# HTTP layer implements.
set(layers_commonlib
  "strings: util/"
  "core: core/"
  "log: logger/Log logger/BaseLogger logger/FileLogger logger/TraceLogger logger/ConsoleLogger logger/LogFileFormat"
  "util: util/FileUtils util/ProcessUtils util/ProtoValueJsonConvertor"
  "thread: thread/"
  "nettool: nettool/"
  "reports: logger/"
  "http: http/"
  "peer: peer/")
# ui: the framework (controls tree, rendering, skin files, basic controls) is one layer; the
# extended controls stand on it and on the plain window, and register their tags with the
# skin builder (ControlTags.h); the skinned window base, which every program builds its
# windows on, registers them.
set(layers_ui
  "framework: core/ render/ skin/ basic/"
  "window: window/"
  "controls: controls/"
  "skinned: window/WindowImplBase")

if(NOT ROOT)
  message(FATAL_ERROR "ROOT (the source directory) is not set")
endif()
if(NOT DEFINED layers_${LIBRARY})
  message(FATAL_ERROR "LIBRARY must name a library with layers (commonlib, ui), not \"${LIBRARY}\"")
endif()
set(layers ${layers_${LIBRARY}})

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

file(GLOB_RECURSE files RELATIVE "${ROOT}/${LIBRARY}" "${ROOT}/${LIBRARY}/*.h" "${ROOT}/${LIBRARY}/*.cpp")
list(SORT files)
set(problems "")
foreach(file IN LISTS files)
  string(REGEX REPLACE "\\.[a-z]+$" "" unit "${file}")
  layer_of("${unit}" own)
  if(own EQUAL -1)
    string(APPEND problems "\n  ${LIBRARY}/${file} is in no layer: add its directory to ${CMAKE_CURRENT_LIST_FILE}")
    continue()
  endif()
  file(STRINGS "${ROOT}/${LIBRARY}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"${LIBRARY}/")
  foreach(line IN LISTS includes)
    string(REGEX MATCH "\"${LIBRARY}/([^\"]+)\"" matched "${line}")
    set(target "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "\\.[a-z]+$" "" target_unit "${target}")
    layer_of("${target_unit}" theirs)
    if(theirs GREATER own)
      string(APPEND problems
             "\n  ${LIBRARY}/${file} (${own_name}) includes ${LIBRARY}/${target} (${theirs_name}, a higher layer)")
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "${LIBRARY}'s layers (${order}) must point one way:${problems}")
endif()
