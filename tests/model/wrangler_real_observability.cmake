# The observability test sends its requests over loopback with Qt Network.
find_package(Qt6 REQUIRED COMPONENTS Network)
if(TARGET model_wrangler_real_observability_test)
  target_link_libraries(model_wrangler_real_observability_test PRIVATE Qt6::Network)
endif()
