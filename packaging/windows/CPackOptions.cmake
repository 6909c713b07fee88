# Read by cpack once for each generator (CPACK_PROJECT_CONFIG_FILE): the file name of each artefact.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_KALVORA_FILE_STEM}-setup")
elseif(CPACK_GENERATOR STREQUAL "ZIP")
    # Unpacked, the zip gives one folder of that name, the portable copy.
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_KALVORA_FILE_STEM}-win64")
endif()
