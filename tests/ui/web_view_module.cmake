# The web view module test runs the built executable, which opens the module beside it.
if(TARGET ui_web_view_module_test AND TARGET tallowmere)
  target_compile_definitions(ui_web_view_module_test PRIVATE
    TALLOWMERE_EXECUTABLE="$<TARGET_FILE:tallowmere>")
  add_dependencies(ui_web_view_module_test tallowmere)
endif()
