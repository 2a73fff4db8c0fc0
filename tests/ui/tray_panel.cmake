# The tray panel tests run the built executable on a private X server and session bus.
if(TARGET ui_tray_panel_test AND TARGET tallowmere)
  target_compile_definitions(ui_tray_panel_test PRIVATE
    TALLOWMERE_EXECUTABLE="$<TARGET_FILE:tallowmere>")
  add_dependencies(ui_tray_panel_test tallowmere)
endif()
# The panel test asks windows to close over the X protocol itself.
if(TARGET ui_tray_panel_test)
  find_library(TALLOWMERE_XCB_LIBRARY xcb REQUIRED)
  target_link_libraries(ui_tray_panel_test PRIVATE ${TALLOWMERE_XCB_LIBRARY})
endif()
