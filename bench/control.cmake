# The control benchmark runs the built executable as its client.
if(TARGET control_bench AND TARGET tallowmere)
  target_compile_definitions(control_bench PRIVATE TALLOWMERE_EXECUTABLE="$<TARGET_FILE:tallowmere>")
  add_dependencies(control_bench tallowmere)
endif()
