# Helpers shared by every target of the project.

# Warnings as errors, on our own targets only.
function(xj_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # GCC 12 at -O2 and above reports overlaps inside std::string's own copies that cannot
  # happen (its bug 105329); the check stays on in Debug builds and with other compilers.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-Wno-restrict>)
  endif()
endfunction()

# A static library for one top directory, built from every source below it.
# Its headers are reachable only as "<name>/..." and only by targets that link
# it, so a header of a higher layer cannot be included from a lower one.
function(xj_library name)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${name}/*.cpp ${CMAKE_SOURCE_DIR}/${name}/*.c)
  if(NOT sources)
    return()  # the layer has no code yet
  endif()
  add_library(${name} STATIC ${sources})
  set(inc ${CMAKE_BINARY_DIR}/include-${name})
  file(MAKE_DIRECTORY ${inc})
  if(NOT EXISTS ${inc}/${name})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${name} ${inc}/${name} SYMBOLIC)
  endif()
  target_include_directories(${name} PUBLIC ${inc})
  xj_warnings(${name})
endfunction()

# One test executable per top directory: every *Test.cpp under tests/<name>.
# SERIAL_FILTER names (a gtest filter) the tests that must run while no other test runs;
# OWN_PROCESS_SPACE runs each test in a process space of its own (tests/support/own-process-space).
function(xj_test_suite name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "OWN_PROCESS_SPACE" "SERIAL_FILTER" "")
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${name}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name}_tests ${sources})
  target_link_libraries(${name}_tests PRIVATE ${name} xj_test_support GTest::gtest_main GTest::gmock)
  xj_warnings(${name}_tests)
  if(arg_OWN_PROCESS_SPACE)
    # Read by the test discovery below, so it must be set first.
    set_property(TARGET ${name}_tests PROPERTY CROSSCOMPILING_EMULATOR
                 ${CMAKE_SOURCE_DIR}/tests/support/own-process-space)
  endif()
  if(arg_SERIAL_FILTER)
    gtest_discover_tests(${name}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         TEST_FILTER "-${arg_SERIAL_FILTER}" PROPERTIES LABELS ${name})
    gtest_discover_tests(${name}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         TEST_FILTER "${arg_SERIAL_FILTER}" PROPERTIES LABELS ${name} RUN_SERIAL TRUE)
  else()
    gtest_discover_tests(${name}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS ${name})
  endif()
endfunction()

# Checks the include directions between the layers of library <name> (cmake/CheckLayers.cmake)
# whenever one of its files changes, before the library is built.
function(xj_check_layers name)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${name}/*.h ${CMAKE_SOURCE_DIR}/${name}/*.cpp)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/layers.checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -DLIBRARY=${name} -P ${CMAKE_SOURCE_DIR}/cmake/CheckLayers.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${files} ${CMAKE_SOURCE_DIR}/cmake/CheckLayers.cmake
    COMMENT "Checking the include directions between ${name}'s layers"
    VERBATIM)
  add_custom_target(${name}_layers DEPENDS ${stamp})
  add_dependencies(${name} ${name}_layers)
endfunction()
