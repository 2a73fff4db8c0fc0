# Window benchmarks: start-up to the first painted main window and the idle footprint, run on
# the offscreen platform. Built only with the GUI.
if(TARGET tallowmere_gui)
  file(GLOB gui_bench_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/gui_*_bench.cpp)
  # The idle benchmark runs in the tests' private session; without the tests it is not built.
  if(NOT TARGET tallowmere_private_session)
    list(FILTER gui_bench_sources EXCLUDE REGEX "/gui_idle_wakeups_bench\\.cpp$")
  endif()
  foreach(source ${gui_bench_sources})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE tallowmere_gui benchmark::benchmark)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    # The Explorer's own benchmark drives the web view directly rather than through the module.
    if(name STREQUAL "gui_explorer_memory_bench")
      target_link_libraries(${name} PRIVATE tallowmere_webview)
    elseif(name STREQUAL "gui_idle_wakeups_bench")
      target_link_libraries(${name} PRIVATE tallowmere_private_session)
    endif()
    add_dependencies(benchmarks ${name})
  endforeach()
endif()
