# The Explorer memory benchmark serves the tests' fixture Worker.
if(TARGET gui_explorer_memory_bench)
  target_compile_definitions(gui_explorer_memory_bench PRIVATE
    TALLOWMERE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
