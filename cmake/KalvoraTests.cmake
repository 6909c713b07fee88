# kalvora_add_folder_tests([LIBS ...])
# The tests of the calling folder under tests/: one executable per *Test.cpp, named <folder>_<file> and labelled with
# the folder's name. A custom target kalvora_tests_<folder> builds them all (`make test-tsan` builds two of them).
function(kalvora_add_folder_tests)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    add_custom_target(kalvora_tests_${folder})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
    foreach(source ${sources})
        get_filename_component(file ${source} NAME_WE)
        set(name ${folder}_${file})
        file(STRINGS ${source} qt_main REGEX "^QTEST_(GUILESS_)?MAIN")
        if(qt_main)
            if(NOT KALVORA_GUI)
                continue()
            endif()
            kalvora_add_test(${name} SOURCES ${source} LIBS kalvora_gui kalvora_testsupport Qt6::Test ${ARG_LIBS}
                             LABELS ${folder})
            set_target_properties(${name} PROPERTIES AUTOMOC ON)
        else()
            kalvora_add_test(${name} GTEST SOURCES ${source}
                             LIBS kalvora_testsupport GTest::gtest GTest::gmock GTest::gtest_main ${ARG_LIBS}
                             LABELS ${folder})
        endif()
        add_dependencies(kalvora_tests_${folder} ${name})
    endforeach()
endfunction()
