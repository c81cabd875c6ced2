# Bounded libFuzzer run: starts from the saved corpus, writes new inputs and
# any crash reproducer to a scratch folder so that the saved corpus changes
# only when a developer copies a finding over on purpose.
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}/new")
execute_process(
  COMMAND "${FUZZER}" "${SCRATCH}/new" "${CORPUS}"
          -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -print_final_stats=1 -artifact_prefix=${SCRATCH}/
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzzer failed (exit ${rc}); reproducer under ${SCRATCH}")
endif()
