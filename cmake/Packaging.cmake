# Installation beyond the executables (they install themselves), and the packages CPack
# builds: a Debian package on Linux, a ZIP elsewhere.
set(VELMORA_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VELMORA_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/velmora)

if(UNIX AND NOT APPLE)
  install(FILES ${VELMORA_PACKAGING_DIR}/org.velmora.Velmora.desktop
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES ${VELMORA_PACKAGING_DIR}/org.velmora.Velmora.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
  # The route list and route group types; the desktop's triggers rebuild its MIME database.
  install(FILES ${VELMORA_PACKAGING_DIR}/org.velmora.Velmora.mime.xml
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages RENAME org.velmora.Velmora.xml)
  install(FILES ${VELMORA_PACKAGING_DIR}/velmora.svg
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
  # The PNG sizes are rendered from velmora.svg once and kept in the repository, so the
  # build needs no SVG converter.
  foreach(size 48 64 128 256)
    install(FILES ${VELMORA_PACKAGING_DIR}/icons/${size}x${size}/velmora.png
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  # udev reads lib/udev/rules.d under /usr only: a /usr/local install needs the rule
  # copied into /etc/udev/rules.d by hand.
  install(FILES ${VELMORA_PACKAGING_DIR}/70-kado.rules DESTINATION lib/udev/rules.d)
  # Debian looks for the licence under this name.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${VELMORA_DOC_DIR} RENAME copyright)
endif()

if(WIN32)
  # Windows keeps a program's texts in its own folder; the window's DLLs come with the window.
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
                ${PROJECT_SOURCE_DIR}/CHANGELOG.md
          DESTINATION ${VELMORA_DOC_DIR})
endif()

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velmora developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Route texts for the LUMAR display boards and the KADO transfer device")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora prepares the route texts shown on the LUMAR on-board display boards of buses\n"
    "and trams: route designation, start stop, final stop and a message per route. It keeps\n"
    "them in .mrp route-list files, imports the .mrg route groups of Dorlan, writes them\n"
    "into the KADO USB HID transfer device, and updates the KADO's firmware from .HAS\n"
    "files. velmora-cli does the same from scripts.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(VELMORA_PACKAGE_MAINTAINER "Velmora developers <velmora@example.org>"
      CACHE STRING "The Maintainer field of the Debian package")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMORA_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # velmora_1.05_amd64.deb
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  find_program(VELMORA_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(VELMORA_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6widgets6, libhidapi-hidraw0, libudev1, libminizip1, libpugixml1v5, libxlsxwriter4")
  endif()
elseif(WIN32)
  # velmora-1.05-win64.zip, a folder to copy anywhere, and velmora-1.05-win64-setup.exe
  # (the setup name is given per generator in WindowsPackaging.cmake).
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_PACKAGE_FILE_NAME velmora-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/WindowsPackaging.cmake)
  # The NSIS commands below hold backslashes and "$": CPack must pass them on as they are.
  set(CPACK_VERBATIM_VARIABLES ON)
  set(CPACK_PACKAGE_INSTALL_DIRECTORY Velmora)
  set(CPACK_PACKAGE_EXECUTABLES velmora Velmora)
  set(CPACK_NSIS_PACKAGE_NAME "Velmora ${PROJECT_VERSION}")
  set(CPACK_NSIS_DISPLAY_NAME "Velmora ${PROJECT_VERSION}")
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_INSTALLED_ICON_NAME velmora.exe)
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
  # The 64-bit Unicode stub: a 32-bit installer would put the program under the 32-bit
  # Program Files and its registry view.
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  file(READ ${VELMORA_PACKAGING_DIR}/windows/associate.nsh CPACK_NSIS_EXTRA_INSTALL_COMMANDS)
  file(READ ${VELMORA_PACKAGING_DIR}/windows/unassociate.nsh CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS)
else()
  set(CPACK_GENERATOR ZIP)
endif()

include(CPack)
