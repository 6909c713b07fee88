# kalvora_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [GTEST] [ARGS ...])
# One test executable under build/tests; GoogleTest executables register each case with CTest. On Windows each
# test executable is one CTest test (one start of the program, which under Wine is the costly part; GoogleTest's
# own output names a failing case), run with ARGS.
function(kalvora_add_test name)
    cmake_parse_arguments(ARG "GTEST;DIALOG" "" "SOURCES;LIBS;LABELS;ARGS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    if(TARGET kalvora-sim)
        add_dependencies(${name} kalvora-sim)
    endif()
    kalvora_target_options(${name})
    if(WIN32)
        add_test(NAME ${name} COMMAND ${name} ${ARG_ARGS})
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS};windows" TIMEOUT 300)
        if(ARG_DIALOG)
            # One dialog test at a time: the desktop has one active window and one keyboard focus, and a window
            # that another test program opens takes them from the one a test is typing into. They are the long
            # ones (a minute and more each under Wine): started first, so that a clean run, which knows no earlier
            # times, runs the others beside them.
            set_tests_properties(${name} PROPERTIES COST 100 RESOURCE_LOCK desktop)
        endif()
        kalvora_windows_test_properties(${name})
    elseif(ARG_GTEST)
        # Dialog tests run their windows offscreen.
        set(environment "")
        if(ARG_DIALOG)
            set(environment ENVIRONMENT QT_QPA_PLATFORM=offscreen)
        endif()
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 30
                             PROPERTIES TIMEOUT 120 ${environment})
        # gtest_discover_tests passes a list-valued property on as its first element only ("core" of "core;link"),
        # so the labels are set by a script that CTest runs after the discovered tests are known.
        set(labels_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
        file(WRITE ${labels_script} "set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABELS}\")\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_script})
    else()
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300
                             ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    endif()
endfunction()

# kalvora_windows_test_properties(<test>)
# Under Wine: the test runs in the build's own Wine prefix, in the one Wine that the fixture wine.up starts for the
# whole run (tests/CMakeLists.txt).
function(kalvora_windows_test_properties test)
    if(KALVORA_WINE)
        set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "WINEPREFIX=${KALVORA_WINEPREFIX}")
        set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED wine)
    endif()
endfunction()

# kalvora_add_folder_tests([LIBS ...] [WINDOWS <file>...] [WINDOWS_EXCLUDED_CASES <pattern>...]
#                          [WITH_SIMULATOR <file>...])
# The tests of the calling folder under tests/: one executable per *Test.cpp, named <folder>_<file> and labelled with
# the folder's name. A custom target kalvora_tests_<folder> builds them all (`make test-tsan` builds two of them).
# Platform tests go by file suffix: *WinTest.cpp exist on Windows only, *PosixTest.cpp on Linux and macOS only, and
# *QtTest.cpp only with the window layer over Qt (KALVORA_WINDOW qt): tests of what Qt alone draws or does, which
# may include Qt's headers and window/qt/ and are linked with the window program's library (and so with Qt). On
# Windows only the *WinTest.cpp files and those named after WINDOWS (without .cpp) are built, each run once as a whole without the GoogleTest cases that match
# WINDOWS_EXCLUDED_CASES (the rules of POSIX paths and the like). A file named after WITH_SIMULATOR is built but
# not registered: its folder registers it with kalvora_add_simulator_test, once for each simulator it needs.
function(kalvora_add_folder_tests)
    cmake_parse_arguments(ARG "" "" "LIBS;WINDOWS;WINDOWS_EXCLUDED_CASES;WITH_SIMULATOR" ${ARGN})
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    add_custom_target(kalvora_tests_${folder})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
    set(args "")
    if(ARG_WINDOWS_EXCLUDED_CASES)
        list(JOIN ARG_WINDOWS_EXCLUDED_CASES ":" excluded)
        set(args "--gtest_filter=-${excluded}")
    endif()
    foreach(source ${sources})
        get_filename_component(file ${source} NAME_WE)
        set(name ${folder}_${file})
        string(REGEX MATCH "WinTest$" windows_only ${file})
        string(REGEX MATCH "PosixTest$" posix_only ${file})
        string(REGEX MATCH "QtTest$" qt_only ${file})
        if(qt_only AND NOT (KALVORA_GUI AND KALVORA_WINDOW STREQUAL "qt"))
            continue()
        endif()
        if(WIN32)
            if(posix_only OR (NOT windows_only AND NOT file IN_LIST ARG_WINDOWS))
                continue()
            endif()
        elseif(windows_only)
            continue()
        endif()
        # A dialog test drives windows through the window layer's test driver, on whichever implementation the
        # build has; it exists only with the window program.
        file(STRINGS ${source} dialog_test REGEX "^#include \"window/DialogDriver.h\"")
        if(dialog_test)
            if(NOT KALVORA_GUI)
                continue()
            endif()
            kalvora_add_test(${name} GTEST SOURCES ${source}
                             LIBS kalvora_dialog_test_main kalvora_testsupport GTest::gtest GTest::gmock ${ARG_LIBS}
                             LABELS ${folder} ARGS ${args} DIALOG)
        elseif(qt_only)
            kalvora_add_test(${name} GTEST SOURCES ${source}
                             LIBS kalvora_gui kalvora_testsupport GTest::gtest GTest::gmock GTest::gtest_main
                                  ${ARG_LIBS}
                             LABELS ${folder} ARGS ${args} DIALOG)
        elseif(WIN32 AND file IN_LIST ARG_WITH_SIMULATOR)
            add_executable(${name} ${source})
            set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
            target_link_libraries(${name} PRIVATE kalvora_testsupport GTest::gtest GTest::gmock GTest::gtest_main
                                                  ${ARG_LIBS})
            kalvora_target_options(${name})
        else()
            kalvora_add_test(${name} GTEST SOURCES ${source}
                             LIBS kalvora_testsupport GTest::gtest GTest::gmock GTest::gtest_main ${ARG_LIBS}
                             LABELS ${folder} ARGS ${args})
        endif()
        add_dependencies(kalvora_tests_${folder} ${name})
    endforeach()
endfunction()

# kalvora_add_simulator_test(<name> TARGET <test executable> [SIMULATOR <option>...] [CASES <gtest filter>]
#                            [ENVIRONMENT <VAR=value>...])
# Windows under Wine: runs the test executable (the cases that match CASES) while the device simulator, a program
# of this machine (KALVORA_HOST_SIM), runs with the options given on a pseudo-terminal that Wine maps as COM port
# KALVORA_TEST_COM. The tests that use the port take it in turn.
function(kalvora_add_simulator_test name)
    cmake_parse_arguments(ARG "" "TARGET;CASES" "SIMULATOR;ENVIRONMENT" ${ARGN})
    if(NOT KALVORA_WINE)
        return() # the simulator runs only beside Wine, on the machine that builds
    endif()
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    set(filter "")
    if(ARG_CASES)
        set(filter "--gtest_filter=${ARG_CASES}")
    endif()
    add_test(NAME ${name}
             COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/WithSimulator.sh ${KALVORA_HOST_SIM} ${KALVORA_SIM_DIR}
                     ${KALVORA_TEST_COM} ${ARG_SIMULATOR} -- ${CMAKE_CROSSCOMPILING_EMULATOR}
                     $<TARGET_FILE:${ARG_TARGET}> ${filter})
    set_tests_properties(${name} PROPERTIES LABELS "${folder};windows" TIMEOUT 300
                         RESOURCE_LOCK com${KALVORA_TEST_COM} ENVIRONMENT "${ARG_ENVIRONMENT}")
    kalvora_windows_test_properties(${name})
endfunction()
