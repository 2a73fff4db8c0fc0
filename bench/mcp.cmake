# The MCP benchmark runs the built executable as the server under measurement.
if(TARGET mcp_bench AND TARGET tallowmere)
  target_compile_definitions(mcp_bench PRIVATE TALLOWMERE_EXECUTABLE="$<TARGET_FILE:tallowmere>")
  add_dependencies(mcp_bench tallowmere)
endif()
