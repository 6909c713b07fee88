# The resources every Windows program of the project carries, so that Explorer shows its icon, name and version
# and the system gives it the controls and resolution it was made for: the program's icon (the desktop's images
# of packaging/icons in one icon file, made by window/win32/MakeIcon.cmake), the manifest
# (window/win32/Kalvora.manifest) and a version record (the executable's own version, the project's VERSION, not the
# one users see in the windows). Included by the top-level CMakeLists.txt on Windows.

set(KALVORA_ICON_FILE ${CMAKE_BINARY_DIR}/Kalvora.ico)
set(KALVORA_MANIFEST_FILE ${CMAKE_SOURCE_DIR}/window/win32/Kalvora.manifest)
set(KALVORA_ICON_IMAGES "")
foreach(size 32 48 64 128 256)
    list(APPEND KALVORA_ICON_IMAGES
         ${CMAKE_SOURCE_DIR}/packaging/icons/hicolor/${size}x${size}/apps/${KALVORA_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${KALVORA_ICON_FILE}
                   COMMAND ${CMAKE_COMMAND} -DOUTPUT=${KALVORA_ICON_FILE} "-DIMAGES=${KALVORA_ICON_IMAGES}"
                           -P ${CMAKE_SOURCE_DIR}/window/win32/MakeIcon.cmake
                   DEPENDS ${KALVORA_ICON_IMAGES} ${CMAKE_SOURCE_DIR}/window/win32/MakeIcon.cmake
                   COMMENT "Making the program's icon file"
                   VERBATIM)
add_custom_target(kalvora_icon DEPENDS ${KALVORA_ICON_FILE})

# kalvora_windows_resources(<target> DESCRIPTION <text> FILE_NAME <name> INTERNAL_NAME <name>)
# Links the resources into <target>: its icon, manifest and a version record with the description (Explorer's
# "File description"), the file name and the internal name given; the product is "Kalvora Application".
function(kalvora_windows_resources target)
    cmake_parse_arguments(ARG "" "DESCRIPTION;FILE_NAME;INTERNAL_NAME" "" ${ARGN})
    string(REPLACE "." "," KALVORA_RC_VERSION ${PROJECT_VERSION})
    set(KALVORA_RC_VERSION_TEXT ${PROJECT_VERSION})
    set(KALVORA_RC_DESCRIPTION "${ARG_DESCRIPTION}")
    set(KALVORA_RC_PRODUCT_NAME "Kalvora Application")
    set(KALVORA_RC_INTERNAL_NAME "${ARG_INTERNAL_NAME}")
    set(KALVORA_RC_FILE_NAME "${ARG_FILE_NAME}")
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${CMAKE_SOURCE_DIR}/window/win32/Kalvora.rc.in ${rc} @ONLY)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${KALVORA_ICON_FILE};${KALVORA_MANIFEST_FILE}")
    add_library(${target}_resources OBJECT ${rc})
    add_dependencies(${target}_resources kalvora_icon)
    target_link_libraries(${target} PRIVATE ${target}_resources)
endfunction()
