# Shared build helpers: warnings, test registration and the layering check.

function(tessivor_warnings target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
        if(TESSIVOR_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    elseif(MSVC)
        target_compile_options(${target} PRIVATE /W4 /utf-8)
    endif()
endfunction()

# tessivor_library(NAME SOURCES ... [LIBS ...]): a static library whose headers are included
# from the project root ("runner/machine/run.h").
function(tessivor_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    tessivor_warnings(${name})
endfunction()

# tessivor_add_test(NAME SOURCES ... LIBS ... [ENV ...]): one GoogleTest executable beside the
# code it tests; each test case becomes a CTest test.
function(tessivor_add_test name)
    if(NOT TESSIVOR_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    tessivor_warnings(${name})
    if(CMAKE_CROSSCOMPILING)
        # Under an emulator every start costs about a second (Wine), so the whole executable is
        # one test; its output names the failing cases.
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENV}" TIMEOUT 600)
    else()
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
            PROPERTIES ENVIRONMENT "${ARG_ENV}")
    endif()
endfunction()

# Fails the configuration when one of the given targets links Qt, directly or through another
# target of ours.
function(tessivor_forbid_qt)
    foreach(target ${ARGN})
        set(pending ${target})
        set(seen "")
        while(pending)
            list(POP_FRONT pending current)
            if(current IN_LIST seen)
                continue()
            endif()
            list(APPEND seen ${current})
            if(current MATCHES "Qt[0-9]*::")
                message(FATAL_ERROR "${target} must not depend on Qt (found ${current})")
            endif()
            if(TARGET ${current})
                get_target_property(deps ${current} LINK_LIBRARIES)
                if(deps)
                    list(APPEND pending ${deps})
                endif()
                get_target_property(ideps ${current} INTERFACE_LINK_LIBRARIES)
                if(ideps)
                    list(APPEND pending ${ideps})
                endif()
            endif()
        endwhile()
    endforeach()
endfunction()
