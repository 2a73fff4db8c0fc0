# A small program that poses as the processes of a dev server (workerd, node, npm), for the
# tests of external-process detection.
add_executable(external_fixture_process ${CMAKE_CURRENT_LIST_DIR}/external_fixture_process.cpp)
target_link_libraries(external_fixture_process PRIVATE tallowmere_options)

foreach(test_name external_scan_test external_proc_table_test)
  if(TARGET supervision_${test_name})
    add_dependencies(supervision_${test_name} external_fixture_process)
    target_compile_definitions(supervision_${test_name} PRIVATE
      EXTERNAL_FIXTURE_PROCESS="$<TARGET_FILE:external_fixture_process>")
  endif()
endforeach()
