# The program's folder on Windows, as the setup program installs it into Program Files\Kalvora and the portable zip
# holds it: the three programs (each linked statically, so no DLL goes beside them), the language files,
# identifiers.ini and the default config.ini (read beside the programs; an installed program copies config.ini into
# the user's application data at its first start), the display font's licence and a short readme.

set(programs kalvora-cli)
if(KALVORA_GUI)
    list(APPEND programs kalvora kalvora-training)
endif()
install(TARGETS ${programs} RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/res/identifiers.ini ${CMAKE_SOURCE_DIR}/res/lng_English.ini
              ${CMAKE_SOURCE_DIR}/res/lng_Deutsch.ini ${CMAKE_SOURCE_DIR}/res/config.ini
              ${CMAKE_SOURCE_DIR}/res/fonts/OFL.txt
        DESTINATION .)

# The readme in Notepad's own line ends.
configure_file(${CMAKE_CURRENT_LIST_DIR}/README.txt.in ${CMAKE_CURRENT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE WIN32)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION .)
