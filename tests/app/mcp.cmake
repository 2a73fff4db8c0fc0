# The MCP tests run the built executable as the server an agent starts, and as the instance.
foreach(test app_mcp_test app_mcp_sdk_test)
  if(TARGET ${test} AND TARGET tallowmere)
    target_compile_definitions(${test} PRIVATE TALLOWMERE_EXECUTABLE="$<TARGET_FILE:tallowmere>")
    add_dependencies(${test} tallowmere)
  endif()
endforeach()
