# The layer checks refuse what they are there to refuse: a library that links a layer its row
# does not name fails the configuration, and so does nothing else; an #include of such a layer,
# or of a header that is not there, fails the include check. Run by CTest (layers.checks):
#   cmake -DWORK_DIR=... -P check_layers_test.cmake
cmake_minimum_required(VERSION 3.25)
set(helpers ${CMAKE_CURRENT_LIST_DIR}/TessivorHelpers.cmake)
set(failures 0)
# expect(WHAT CONDITION...): counts a failure when the condition does not hold.
macro(expect what)
    if(NOT (${ARGN}))
        message(SEND_ERROR "FAILED: ${what}")
        math(EXPR failures "${failures} + 1")
    endif()
endmacro()

# A project of three header-only layers; assembler/check links LINKED.
file(REMOVE_RECURSE ${WORK_DIR})
set(src ${WORK_DIR}/project)
file(WRITE ${src}/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(LayerCheck LANGUAGES NONE)
include(${helpers})
add_subdirectory(common)
add_subdirectory(runner/machine)
add_subdirectory(assembler/check)
tessivor_check_layers()
")
file(WRITE ${src}/common/CMakeLists.txt "tessivor_library(tessivor_common HEADERS ends.h)\n")
file(WRITE ${src}/common/ends.h "#pragma once\n")
file(WRITE ${src}/runner/machine/CMakeLists.txt
    "tessivor_library(tessivor_machine HEADERS run.h LIBS tessivor_common)\n")
file(WRITE ${src}/runner/machine/run.h "#pragma once\n#include \"common/ends.h\"\n")
file(WRITE ${src}/assembler/check/CMakeLists.txt
    "tessivor_library(tessivor_check HEADERS check.h LIBS \${LINKED})\n")
file(WRITE ${src}/assembler/check/check.h "#pragma once\n#include \"common/ends.h\"\n")

foreach(linked tessivor_common tessivor_machine)
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${src} -B ${WORK_DIR}/build-${linked}
            -DLINKED=${linked}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(linked STREQUAL "tessivor_common")
        expect("a link the row allows configures (${err})" status EQUAL 0)
        expect("public headers are staged"
            EXISTS ${WORK_DIR}/build-${linked}/include/tessivor_machine/runner/machine/run.h)
    else()
        expect("a link the row does not allow fails the configuration" NOT status EQUAL 0)
        string(REGEX REPLACE "[ \n]+" " " err "${err}") # CMake wraps its messages
        string(FIND "${err}" "tessivor_check (assembler/check) links tessivor_machine" at)
        expect("the refusal names the link: ${err}" NOT at EQUAL -1)
    endif()
endforeach()

# The include check on a tree whose checker includes the machine.
file(WRITE ${src}/README.md "| `common` |\n| `runner/machine` |\n| `assembler/check` |\n")
file(WRITE ${src}/assembler/check/check.cpp "#include \"assembler/check/check.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${src} -P
        ${CMAKE_CURRENT_LIST_DIR}/CheckIncludes.cmake
    RESULT_VARIABLE status ERROR_VARIABLE err)
expect("a tree within its layers passes the include check (${err})" status EQUAL 0)
file(WRITE ${src}/assembler/check/check.cpp
    "#include \"runner/machine/run.h\"\n#include \"common/gone.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${src} -P
        ${CMAKE_CURRENT_LIST_DIR}/CheckIncludes.cmake
    RESULT_VARIABLE status ERROR_VARIABLE err)
expect("an include of a layer the row does not name fails" NOT status EQUAL 0)
string(REGEX REPLACE "[ \n]+" " " err "${err}")
string(FIND "${err}" "includes \"runner/machine/run.h\", but assembler/check may use only" at)
expect("the failure names the include: ${err}" NOT at EQUAL -1)
string(FIND "${err}" "includes \"common/gone.h\", which does not exist" at)
expect("an include of a missing header is named: ${err}" NOT at EQUAL -1)

if(failures GREATER 0)
    message(FATAL_ERROR "${failures} layer checks failed")
endif()
message(STATUS "the layer checks refuse a wrong link and a wrong include")
