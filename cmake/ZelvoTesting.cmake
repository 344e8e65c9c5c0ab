# Test support shared by every test directory.
#
#   zelvo_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>]
#                  [DATA <files...>] [TIMEOUT <seconds>] [GUI])
#
# Builds one GoogleTest executable linked with gtest_main and registers it as
# ONE ctest entry, run in its own binary directory. DATA files (relative to the
# calling CMakeLists.txt) are copied next to the executable so tests can open
# them by bare name. GUI marks a test that needs the display: such tests are
# serialised against each other and labelled "gui".
#
# Every test sees two absolute paths as string macros:
#   ZELVO_SOURCE_DIR  the repository
#   ZELVO_CORPUS_DIR  the shared conformance corpus (../shared/corpus)
# zelvo_test_paths(<target>) gives the same macros to a helper executable.
include_guard(GLOBAL)

get_filename_component(ZELVO_CORPUS_DIR "${CMAKE_SOURCE_DIR}/../shared/corpus" ABSOLUTE)
set(ZELVO_CORPUS_DIR "${ZELVO_CORPUS_DIR}" CACHE PATH "Conformance corpus used by the tests")
if(NOT IS_DIRECTORY "${ZELVO_CORPUS_DIR}")
  message(WARNING "Test corpus not found at ${ZELVO_CORPUS_DIR}; corpus tests will fail")
endif()

set(ZELVO_TEST_TIMEOUT 300 CACHE STRING "Default per-test timeout in seconds")

if(WIN32 AND CMAKE_CROSSCOMPILING)
  # Tests run under Wine in a prefix private to this build tree, through a
  # wrapper that keeps the prefix warm (see tools/wine-run).
  set(ZELVO_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix for the Windows tests")
  set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/tools/wine-run;--prefix;${ZELVO_WINEPREFIX}")

  set(ZELVO_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
  if(NOT EXISTS "${ZELVO_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt")
    message(FATAL_ERROR "GoogleTest sources not found in ${ZELVO_GOOGLETEST_SOURCE_DIR} (apt-get install googletest)")
  endif()
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory("${ZELVO_GOOGLETEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL SYSTEM)
  # GoogleTest defines the GTest:: aliases itself, as find_package does natively.
else()
  find_package(GTest REQUIRED)
endif()

function(zelvo_test_paths target)
  target_compile_definitions(${target} PRIVATE
    "ZELVO_SOURCE_DIR=\"${CMAKE_SOURCE_DIR}\""
    "ZELVO_CORPUS_DIR=\"${ZELVO_CORPUS_DIR}\"")
endfunction()

function(zelvo_add_test)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "GUI" "NAME;TIMEOUT" "SOURCES;LIBS;DATA")
  if(NOT ARG_NAME OR NOT ARG_SOURCES)
    message(FATAL_ERROR "zelvo_add_test needs NAME and SOURCES")
  endif()
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "zelvo_add_test(${ARG_NAME}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT ${ZELVO_TEST_TIMEOUT})
  endif()

  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  zelvo_test_paths(${ARG_NAME})

  foreach(file IN LISTS ARG_DATA)
    get_filename_component(src "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    get_filename_component(dst_name "${file}" NAME)
    set(dst "${CMAKE_CURRENT_BINARY_DIR}/${dst_name}")
    add_custom_command(OUTPUT "${dst}"
      COMMAND ${CMAKE_COMMAND} -E copy_if_different "${src}" "${dst}"
      DEPENDS "${src}" VERBATIM)
    set_source_files_properties("${dst}" PROPERTIES HEADER_FILE_ONLY ON)
    target_sources(${ARG_NAME} PRIVATE "${dst}")
  endforeach()

  add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME}
           WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  if(ARG_GUI)
    set_tests_properties(${ARG_NAME} PROPERTIES RESOURCE_LOCK zelvo_display LABELS gui)
  endif()
endfunction()
