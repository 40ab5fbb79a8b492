# Runs PROGRAM with ARGS (one string, split like a shell would) through an
# optional RUNNER and fails unless it exits with EXPECTED. A hang counts as a
# failure too: the point is that bad input is refused, not waited on.
separate_arguments(arg_list UNIX_COMMAND "${ARGS}")
execute_process(
  COMMAND ${RUNNER} ${PROGRAM} ${arg_list}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output
  TIMEOUT 60)
if("${output}" MATCHES "skipped: [^\n]*")
  # The runner could not run this architecture on this host; ctest reads the
  # line and reports the test as skipped.
  message(NOTICE "${CMAKE_MATCH_0}")
elseif(NOT "${result}" STREQUAL "${EXPECTED}")
  message(FATAL_ERROR "'${PROGRAM} ${ARGS}' exited with '${result}', expected ${EXPECTED}\n${output}")
endif()
