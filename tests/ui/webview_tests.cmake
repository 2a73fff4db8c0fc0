# The tests of the real web view serve their pages over loopback.
find_package(Qt6 REQUIRED COMPONENTS Network)
foreach(target ui_explorer_web_view_test ui_explorer_wrangler_real_test)
  if(TARGET ${target})
    target_link_libraries(${target} PRIVATE Qt6::Network)
  endif()
endforeach()
