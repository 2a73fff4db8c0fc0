# GUI tests: real widgets on the offscreen platform, found by objectName. They need a
# QApplication, so they get their own main.
if(TARGET tallowmere_gui)
  find_package(Qt6 REQUIRED COMPONENTS DBus)
  # A private X server and session bus with a tray: the window tests and the idle benchmark
  # both run the application in one.
  add_library(tallowmere_private_session STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/ui/support/panel_session.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ui/support/panel_session.h)
  target_link_libraries(tallowmere_private_session PUBLIC tallowmere_test_support Qt6::DBus)
  add_library(tallowmere_gui_test_support STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/ui/support/gui_test_main.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ui/support/gui_fixture.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ui/support/gui_fixture.h)
  target_link_libraries(tallowmere_gui_test_support PUBLIC tallowmere_private_session tallowmere_test_support tallowmere_gui tallowmere_webview)
  tallowmere_add_tests(ui LIBS tallowmere_gui MAIN tallowmere_gui_test_support
    ENV "QT_QPA_PLATFORM=offscreen")
endif()
