# Install rules and the Debian package: the executable, its desktop entry, icons, AppStream
# metainfo, manual page, shell completion and the copyright notice, under the GNU folders.
include(GNUInstallDirs)

set(TALLOWMERE_APP_ID com.tallowmere.Tallowmere)
set(data ${PROJECT_SOURCE_DIR}/data)

install(TARGETS tallowmere RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The window's executable, which `tallowmere` starts in its own place, is no command of its own.
if(TARGET tallowmere-gui)
  install(TARGETS tallowmere-gui RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/tallowmere)
  install(TARGETS tallowmere-webview LIBRARY DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/tallowmere)
endif()
install(FILES ${data}/${TALLOWMERE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data}/${TALLOWMERE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${data}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${data}/completion/tallowmere.bash RENAME tallowmere
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Debian wants the manual page and the changelog compressed with gzip -9n (no name, no time).
set(compressed ${CMAKE_CURRENT_BINARY_DIR}/compressed)
function(tallowmere_gzip source target)
  add_custom_command(OUTPUT ${compressed}/${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${compressed}
    COMMAND gzip -9n -c ${source} > ${compressed}/${target}
    DEPENDS ${source} VERBATIM)
endfunction()
tallowmere_gzip(${data}/tallowmere.1 tallowmere.1.gz)
tallowmere_gzip(${data}/debian/changelog changelog.gz)
add_custom_target(tallowmere_compressed_docs ALL
  DEPENDS ${compressed}/tallowmere.1.gz ${compressed}/changelog.gz)
install(FILES ${compressed}/tallowmere.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Debian looks for these under the package's name, which is lower case.
install(FILES ${compressed}/changelog.gz ${data}/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tallowmere)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallowmere)
set(CPACK_PACKAGE_VENDOR "The Tallowmere authors")
set(CPACK_PACKAGE_CONTACT "The Tallowmere authors <hello@tallowmere.dev>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://tallowmere.dev)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keep every local Cloudflare Workers project in one place")
# The first line of the package's description is the summary; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Tallowmere finds the Cloudflare Workers projects under the folders you name
by their Wrangler configuration files, and starts, stops and restarts their
local dev servers as supervised process groups. It shows each server's
output, address, memory and port conflicts, finds servers started from a
terminal, and lives in the system tray with a main window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The shared libraries it links give the rest; Qt's platform plugins are loaded, not linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The emoji font draws what dev servers print ("⛅️") instead of empty boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "nodejs, npm, qt6-wayland, fonts-noto-color-emoji")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
