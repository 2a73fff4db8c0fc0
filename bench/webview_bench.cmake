# The Explorer memory benchmark serves the tests' fixture Worker and picks free loopback ports.
if(TARGET gui_explorer_memory_bench)
  find_package(Qt6 REQUIRED COMPONENTS Network)
  target_link_libraries(gui_explorer_memory_bench PRIVATE Qt6::Network)
  target_compile_definitions(gui_explorer_memory_bench PRIVATE
    TALLOWMERE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
