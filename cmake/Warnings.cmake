# Every target of the project builds with these; third-party headers come in as
# system includes, so only our own code has to be clean.
function(malvorn_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow
                                             -Wnon-virtual-dtor -Wold-style-cast)
endfunction()

# A library of ours: sources, public include root at src/, warnings on.
function(malvorn_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    if(ARG_LINKS)
        target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    endif()
    malvorn_warnings(${name})
endfunction()

# A GoogleTest executable registered with ctest, one test per case.
function(malvorn_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    malvorn_warnings(${name})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
