# cmake -DFUZZER=... -DWORK=... -DSEEDS=... -DSECONDS=... -P run_fuzzer.cmake
if(NOT EXISTS "${FUZZER}")
  message(FATAL_ERROR "${FUZZER} is missing: build the fuzz preset first "
                      "(cmake --preset fuzz && cmake --build build/fuzz)")
endif()
file(MAKE_DIRECTORY "${WORK}/corpus" "${WORK}/artifacts")
set(corpora "${WORK}/corpus")
if(IS_DIRECTORY "${SEEDS}")
  list(APPEND corpora "${SEEDS}")
endif()
execute_process(
  COMMAND "${FUZZER}" -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=1024
          -print_final_stats=1 "-artifact_prefix=${WORK}/artifacts/" ${corpora}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${status}); the input is in ${WORK}/artifacts")
endif()
