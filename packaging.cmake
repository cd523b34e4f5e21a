# Installing the desktop program (GNUInstallDirs under CMAKE_INSTALL_PREFIX) and the Debian package
# that `cpack -G DEB` makes from the same rules.
include(GNUInstallDirs)

set(desktopDir ${PROJECT_SOURCE_DIR}/app/desktop)
set(appId org.vistrel.Vistrel)

if(TARGET vistrel)
    install(TARGETS vistrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${desktopDir}/${appId}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktopDir}/${appId}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${desktopDir}/vistrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${desktopDir}/vistrel-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vistrel.png)
endforeach()

# Debian wants the manual page and the changelog compressed, reproducibly (no name, no time).
find_program(GZIP gzip REQUIRED)
set(packedDir ${PROJECT_BINARY_DIR}/packed)
file(MAKE_DIRECTORY ${packedDir})
add_custom_command(OUTPUT ${packedDir}/vistrel.1.gz ${packedDir}/changelog.gz
                   COMMAND ${GZIP} -9nc ${desktopDir}/vistrel.1 > ${packedDir}/vistrel.1.gz
                   COMMAND ${GZIP} -9nc ${desktopDir}/changelog > ${packedDir}/changelog.gz
                   DEPENDS ${desktopDir}/vistrel.1 ${desktopDir}/changelog)
add_custom_target(packed_docs ALL DEPENDS ${packedDir}/vistrel.1.gz ${packedDir}/changelog.gz)
install(FILES ${packedDir}/vistrel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${desktopDir}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vistrel)
install(FILES ${packedDir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vistrel RENAME changelog.gz)

set(CPACK_PACKAGE_NAME vistrel)
set(CPACK_PACKAGE_VENDOR "The Vistrel developers")
set(CPACK_PACKAGE_CONTACT "The Vistrel developers <developers@vistrel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture viewer for fast zooming and panning")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vistrel.org/")
# The synopsis comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vistrel shows one picture in a fixed-size window and zooms and pans it fast
at any zoom factor: the mouse wheel and two buttons change the zoom, a left
drag moves the picture with a live preview. It reads BMP, JPEG, PNG, GIF,
ICO, CUR and PCX files, recognised by their content. Reduced pictures are
drawn by averaging the area each screen pixel covers.")
include(CPack)
