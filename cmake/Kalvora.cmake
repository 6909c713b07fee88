# Compiler options shared by every target of the project.

set(KALVORA_SANITIZER_FLAGS "")
if(KALVORA_SANITIZE STREQUAL "address")
    set(KALVORA_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
elseif(KALVORA_SANITIZE STREQUAL "thread")
    # Boost.Asio's handlers run inside std::atomic_thread_fence, which ThreadSanitizer does not model; GCC warns
    # about each one. The live page's server hands work to its thread through Asio's locked queue, whose mutex is
    # what orders it, so the warning says nothing about this program's code.
    set(KALVORA_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer -Wno-tsan)
elseif(NOT KALVORA_SANITIZE STREQUAL "")
    message(FATAL_ERROR "KALVORA_SANITIZE must be empty, address or thread")
endif()
if(KALVORA_FUZZ)
    # The library is instrumented for coverage; each fuzz target adds the libFuzzer main.
    set(KALVORA_SANITIZER_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
endif()

# Debian's hardening of packaged programs (as dpkg-buildflags gives it), in every Linux build without sanitizers:
# fortified libc calls where the optimiser can check them, stack protection, a read-only offset table. (The
# Windows linker knows no -z options, and its C runtime has no fortified calls.)
set(KALVORA_HARDENING_COMPILE_FLAGS "")
set(KALVORA_HARDENING_LINK_FLAGS "")
if(KALVORA_SANITIZER_FLAGS STREQUAL "" AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(KALVORA_HARDENING_COMPILE_FLAGS -fstack-protector-strong $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
    set(KALVORA_HARDENING_LINK_FLAGS -Wl,-z,relro -Wl,-z,now)
endif()

# mingw-w64, cross or on Windows: every program links the compiler's runtime in, so that each .exe runs alone,
# without libstdc++-6.dll, libgcc_s_seh-1.dll or libwinpthread-1.dll beside it.
if(MINGW)
    add_link_options(-static -static-libgcc -static-libstdc++)
endif()

function(kalvora_target_options target)
    if(MSVC)
        # A Windows developer's Visual Studio build: the same warnings in its own words, sources read as UTF-8.
        target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8)
        if(KALVORA_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
        return()
    endif()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic ${KALVORA_SANITIZER_FLAGS}
                                             ${KALVORA_HARDENING_COMPILE_FLAGS})
    if(KALVORA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_link_options(${target} PRIVATE ${KALVORA_SANITIZER_FLAGS} ${KALVORA_HARDENING_LINK_FLAGS})
endfunction()

# kalvora_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [GTEST])
# One test executable under build/tests; GoogleTest executables register each case with CTest.
function(kalvora_add_test name)
    cmake_parse_arguments(ARG "GTEST" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    add_dependencies(${name} kalvora-sim)
    kalvora_target_options(${name})
    if(ARG_GTEST)
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)
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

# kalvora_program_options(<target>)
# A program users get (kalvora, kalvora-cli): a mingw-w64 release build leaves out the symbol table, which is more
# than half of a statically linked .exe. (The tests keep theirs, for Wine's backtraces.)
function(kalvora_program_options target)
    if(MINGW)
        target_link_options(${target} PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
    endif()
endfunction()
