# The tests that run a real Wrangler talk HTTP to it over loopback.
find_package(Qt6 REQUIRED COMPONENTS Network)
if(TARGET model_wrangler_real_test)
  target_link_libraries(model_wrangler_real_test PRIVATE Qt6::Network)
endif()
