# The usage benchmark starts the real Wrangler of the tests: it uses their support library.
if(TARGET server_usage_bench AND TARGET tallowmere_test_support)
  target_link_libraries(server_usage_bench PRIVATE tallowmere_test_support)
endif()
