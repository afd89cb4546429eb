# Every target of the project builds with these; third-party headers come in as
# system includes, so only our own code has to be clean.
function(malvorn_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow
                                             -Wnon-virtual-dtor -Wold-style-cast)
endfunction()

# Each target sees the headers of its own folder and of the libraries it
# links, never the whole of src/: a lower layer that includes an upper one
# does not compile. The root is a folder of the build tree holding one link,
# named like the source folder ("window" -> src/window), so includes keep
# their "folder/header.h" form.
function(malvorn_include_root target visibility)
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
    set(root ${PROJECT_BINARY_DIR}/include/${target})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
    target_include_directories(${target} ${visibility} ${root})
endfunction()

# A library of ours: sources, its own include root, warnings on.
function(malvorn_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    malvorn_include_root(${name} PUBLIC)
    if(ARG_LINKS)
        target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    endif()
    malvorn_warnings(${name})
endfunction()

# Every test runs without a display, and the local servers it creates hash
# passwords at the least cost libsodium allows: at the shipped cost the
# hashing would take most of the suite's time. (One value per property: the
# discovered tests' properties cannot carry a list.)
set(MALVORN_TEST_PASSWORD_COST "MALVORN_LOCAL_SERVER_PASSWORD_COST=set:minimum")

# A GoogleTest executable registered with ctest, one test per case, named
# after its executable ("core_tests.CopyTest.Progress") so that
# `ctest -R core_tests` runs one folder's tests.
# The headers nearly every test file includes, compiled once for all test
# executables instead of once per file (MALVORN_TEST_PCH=OFF to compare).
option(MALVORN_TEST_PCH "Precompile GoogleTest and common headers for the tests" ON)
# A header is only used with the options it was compiled with. The tests
# that link Qt get -fPIC from it, so every test and the header get it; an
# unusable header falls back to plain parsing instead of failing the build.
function(malvorn_test_pch_options target)
    target_compile_options(${target} PRIVATE -fPIC -Wno-error=invalid-pch)
endfunction()

function(malvorn_test_pch)
    if(NOT MALVORN_TEST_PCH OR TARGET malvorn_test_pch)
        return()
    endif()
    add_library(malvorn_test_pch OBJECT ${PROJECT_SOURCE_DIR}/tests/support/precompiled.cpp)
    target_link_libraries(malvorn_test_pch PRIVATE GTest::gtest)
    malvorn_warnings(malvorn_test_pch)
    malvorn_test_pch_options(malvorn_test_pch)
    target_precompile_headers(malvorn_test_pch PRIVATE <gtest/gtest.h> <algorithm> <filesystem>
                              <fstream> <functional> <memory> <optional> <string> <vector>)
endfunction()

function(malvorn_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    malvorn_warnings(${name})
    malvorn_test_pch()
    if(TARGET malvorn_test_pch)
        target_precompile_headers(${name} REUSE_FROM malvorn_test_pch)
        malvorn_test_pch_options(${name})
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_PREFIX "${name}."
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                                    ENVIRONMENT_MODIFICATION "${MALVORN_TEST_PASSWORD_COST}"
                                    TIMEOUT 300)
endfunction()
