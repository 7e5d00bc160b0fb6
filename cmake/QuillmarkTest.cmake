# quillmark_add_test(<name> SOURCES <files...> [LIBS <targets...>] [ENV <VAR=value...>]
#                    [FIXTURES <fixture>])
# Adds a GoogleTest executable and registers its cases with CTest in one line.
find_package(GTest REQUIRED)
include(GoogleTest)

function(quillmark_add_test name)
    cmake_parse_arguments(ARG "" "FIXTURES" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        QUILLMARK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        QUILLMARK_BINARY_DIR="${PROJECT_BINARY_DIR}")
    set(properties)
    if(ARG_ENV)
        list(APPEND properties ENVIRONMENT "${ARG_ENV}")
    endif()
    if(ARG_FIXTURES)
        list(APPEND properties FIXTURES_REQUIRED ${ARG_FIXTURES})
    endif()
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        PROPERTIES ${properties}
        DISCOVERY_TIMEOUT 60)
endfunction()
