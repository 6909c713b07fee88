# The Debian package, `make package`: build/kalvora_<version>_<arch>.deb with everything the install rules put
# under /usr (packaging/CMakeLists.txt), its dependencies found by dpkg-shlibdeps.
# On Windows, `make windows-package`: the setup program build-win/kalvora-<version>-setup.exe and the portable
# build-win/kalvora-<version>-win64.zip of the program's folder (packaging/windows/Install.cmake).

# The version users see in the window's title and the About box, and the metainfo's release.
set(CPACK_PACKAGE_VERSION ${KALVORA_PRODUCT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kalvora developers")
set(CPACK_STRIP_FILES ON)
if(WIN32)
    include(${CMAKE_SOURCE_DIR}/packaging/windows/Setup.cmake)
    return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvora)
set(CPACK_PACKAGE_CONTACT "Kalvora maintainers <maintainers@kalvora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion of the Kalvora race-start timing display")
# The long description, in lines short enough for the package tools.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Kalvora talks to the Kalvora race-start timing display over a serial line.\n"
       "Race officials monitor the unit live (countdown, start number, start time,\n"
       "lead or leg time, the three start lights), read and set its program,\n"
       "countdown number, brightness, clock and master or slave mode, read, erase\n"
       "and export its memory of start times, and edit, save, upload and download\n"
       "its programs of countdown intervals.\n"
       "The package also holds kalvora-cli, the same device operations from the\n"
       "command line, and kalvora-sim, a simulated unit on a pseudo-terminal,\n"
       "which the menu entry's training action starts beside the program.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Wayland desktops draw the program natively with it, and match its windows to the menu entry by its name.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
