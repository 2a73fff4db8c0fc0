# The start-up and poll tests pose servers started from a terminal with the fixture program of
# the external-process tests.
foreach(test_name startup_sequence_test startup_poll_test startup_memory_test)
  if(TARGET model_${test_name} AND TARGET external_fixture_process)
    add_dependencies(model_${test_name} external_fixture_process)
    target_compile_definitions(model_${test_name} PRIVATE
      EXTERNAL_FIXTURE_PROCESS="$<TARGET_FILE:external_fixture_process>")
  endif()
endforeach()
