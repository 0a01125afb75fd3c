# cmake -DPROJECT_DIR=<dir> -P CheckTestHooks.cmake
#
# Test hooks stay in tests: no file outside tests/ and outside the stand-ins' own
# testing/ folders may include a header that lives in a testing/include folder
# under platform/. The library, the demo host and the benchmarks build against
# the real packages, which have no such headers. Fails naming every offending
# file and the hook it includes.
cmake_minimum_required(VERSION 3.18)
if(NOT PROJECT_DIR)
  message(FATAL_ERROR "CheckTestHooks: give -DPROJECT_DIR=<project directory>")
endif()

# Every hook header, as an #include names it (relative to its testing/include folder).
file(GLOB_RECURSE hook_files LIST_DIRECTORIES false "${PROJECT_DIR}/platform/*")
set(hooks "")
foreach(file ${hook_files})
  if(file MATCHES "/testing/include/(.+)$")
    list(APPEND hooks "${CMAKE_MATCH_1}")
  endif()
endforeach()

# Every source and header that is neither a test nor a hook, outside build trees.
file(GLOB top_entries LIST_DIRECTORIES true RELATIVE "${PROJECT_DIR}" "${PROJECT_DIR}/*")
set(sources "")
foreach(entry ${top_entries})
  if(entry MATCHES "^(tests|build.*|\\..*)$" OR NOT IS_DIRECTORY "${PROJECT_DIR}/${entry}")
    continue()
  endif()
  file(GLOB_RECURSE found RELATIVE "${PROJECT_DIR}" "${PROJECT_DIR}/${entry}/*.h"
       "${PROJECT_DIR}/${entry}/*.hpp" "${PROJECT_DIR}/${entry}/*.cpp" "${PROJECT_DIR}/${entry}/*.cc")
  list(APPEND sources ${found})
endforeach()
list(FILTER sources EXCLUDE REGEX "(^|/)testing/")

set(offences "")
foreach(source ${sources})
  file(STRINGS "${PROJECT_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${includes})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*$" "\\1" header "${line}")
    if(header IN_LIST hooks)
      string(APPEND offences "\n  ${source} includes \"${header}\"")
    endif()
  endforeach()
endforeach()

list(LENGTH sources checked)
if(offences)
  message(FATAL_ERROR "Test hooks included outside tests:${offences}")
endif()
message(STATUS "No test hook included outside tests (${checked} files checked)")
