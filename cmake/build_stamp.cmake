# Writes vistrel_build_stamp.h with the build's date and time (as numbers,
# which app/build_timestamp.cpp formats) and its commit id.
# Run at every build:  cmake -DSOURCE_DIR=... -DOUTPUT=... -P build_stamp.cmake
# One reading of the clock, so that the parts belong to the same second.
string(TIMESTAMP now "%Y;%m;%d;%H;%M;%S")
set(moment "")
foreach(part ${now})
  math(EXPR part "${part}")   # no leading zero: 08 would be an octal number in C
  list(APPEND moment ${part})
endforeach()
string(REPLACE ";" ", " moment "${moment}")
set(commit "0000000000000000000000000000000000000000")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse HEAD
                  WORKING_DIRECTORY ${SOURCE_DIR}
                  OUTPUT_VARIABLE head RESULT_VARIABLE result
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(result EQUAL 0 AND head MATCHES "^[0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f]$")
    set(commit "${head}")
  endif()
endif()
set(content "#pragma once\n// year, month, day, hour, minute, second\n#define VISTREL_BUILD_MOMENT ${moment}\n#define VISTREL_COMMIT_ID \"${commit}\"\n")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()
