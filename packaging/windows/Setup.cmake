# The setup program (CPack's NSIS generator, Debian's makensis) and the portable zip, made from the program's folder
# (Install.cmake) by `cpack` in the Windows build; included by cmake/KalvoraPackage.cmake.
#
# The setup program installs for every user of the machine into Program Files\Kalvora (the 64-bit one: it is a
# 64-bit installer), with the Start menu folder "Kalvora" (the program, the training program, the uninstaller) and
# the entry of "Apps & features" under HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalvora. Run with /S
# it asks nothing. A version already installed is removed first (silently), so an upgrade replaces the program's
# folder; the user's files live in their application data and are never touched, by an upgrade or an uninstall.

set(CPACK_GENERATOR NSIS ZIP)
# The values below reach the installer's script as they are written here.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME Kalvora)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Companion of the Kalvora race-start timing display")
# Program Files\Kalvora and the registry keys keep their names from version to version, so that an upgrade finds
# what it replaces.
set(CPACK_PACKAGE_INSTALL_DIRECTORY Kalvora)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Kalvora)
# The per-generator file names: kalvora-<version>-setup.exe, kalvora-<version>-win64.zip.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackOptions.cmake)
set(CPACK_KALVORA_FILE_STEM kalvora-${KALVORA_PRODUCT_VERSION})

set(CPACK_NSIS_PACKAGE_NAME Kalvora)
set(CPACK_NSIS_DISPLAY_NAME Kalvora)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON ${KALVORA_ICON_FILE})
set(CPACK_NSIS_MUI_UNIICON ${KALVORA_ICON_FILE})
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
set(CPACK_NSIS_URL_INFO_ABOUT "https://kalvora.example")
set(CPACK_NSIS_CONTACT "maintainers@kalvora.example")
# The window programs, in a build that has them: "Apps & features" shows the program's icon, and the Start menu
# folder holds both beside the uninstaller.
if(KALVORA_GUI)
    set(CPACK_NSIS_INSTALLED_ICON_NAME kalvora.exe)
    set(CPACK_NSIS_MENU_LINKS kalvora.exe "Kalvora" kalvora-training.exe "Kalvora (training with simulated unit)")
endif()
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# The three programs share most of their code: one solid LZMA stream packs them far smaller than one at a time.
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# A 64-bit installer (Debian's nsis has the amd64 stubs): it sees the 64-bit Program Files and registry as they
# are, and runs where only 64-bit Windows programs run (Wine without its 32-bit part). GetSize for the size that
# "Apps & features" shows.
# The uninstaller removes the vendor's key, which the install made for the program's own key, once nothing else is in it.
string(CONCAT CPACK_NSIS_DEFINES
       "  Target amd64-unicode\n"
       "  !include \"FileFunc.nsh\"\n"
       "Function un.onUninstSuccess\n"
       "  DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"\n"
       "FunctionEnd\n")
# The size of the installed folder, in KiB, for "Apps & features".
string(CONCAT CPACK_NSIS_EXTRA_INSTALL_COMMANDS
       "  \${GetSize} \"$INSTDIR\" \"/S=0K\" $0 $1 $2\n"
       "  IntFmt $0 \"0x%08X\" $0\n"
       "  WriteRegDWORD SHCTX \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kalvora\" "
       "\"EstimatedSize\" \"$0\"\n")

include(CPack)
