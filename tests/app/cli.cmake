# The command-line tests run the built executable.
if(TARGET app_command_line_test AND TARGET tallowmere)
  target_compile_definitions(app_command_line_test PRIVATE
    TALLOWMERE_EXECUTABLE="$<TARGET_FILE:tallowmere>")
  add_dependencies(app_command_line_test tallowmere)
endif()
