# The remote-control tests run the built executable, as an instance and as its client.
if(TARGET app_remote_test AND TARGET tallowmere)
  target_compile_definitions(app_remote_test PRIVATE
    TALLOWMERE_EXECUTABLE="$<TARGET_FILE:tallowmere>")
  add_dependencies(app_remote_test tallowmere)
endif()
