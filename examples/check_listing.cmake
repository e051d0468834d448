# Checks that an example builds, that a committed program file equals the build, and that the
# listing `tessivor-cli disasm` gives builds back into the same file, byte for byte. (What the
# example shows when it runs is checked by its test file, NAME.toml.)
# Called as: cmake -DCLI=... [-DEMULATOR=...] -DNAME=... -DSOURCE_DIR=... -DWORK_DIR=...
#     -P check_listing.cmake (EMULATOR runs CLI when it is a cross build)

cmake_minimum_required(VERSION 3.25)

function(fail message)
    message(FATAL_ERROR "${NAME}: ${message}")
endfunction()

function(run_cli)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        fail("'${ARGN}' exited with ${rc}: ${err}")
    endif()
endfunction()

function(expect_same_bytes a b what)
    file(READ "${a}" ha HEX)
    file(READ "${b}" hb HEX)
    if(NOT ha STREQUAL hb)
        fail("${what}: ${a} and ${b} differ")
    endif()
endfunction()

file(MAKE_DIRECTORY "${WORK_DIR}")
set(program "${WORK_DIR}/${NAME}.tsp")
file(REMOVE "${program}")
run_cli(${EMULATOR} "${CLI}" build -o "${program}" "${SOURCE_DIR}/${NAME}.tsasm")
if(EXISTS "${SOURCE_DIR}/${NAME}.tsp")
    expect_same_bytes("${SOURCE_DIR}/${NAME}.tsp" "${program}" "the committed program file")
endif()

execute_process(COMMAND ${EMULATOR} "${CLI}" disasm "${program}" RESULT_VARIABLE rc
    OUTPUT_FILE "${WORK_DIR}/${NAME}.listing.tsasm" ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    fail("disasm exited with ${rc}: ${err}")
endif()
run_cli(${EMULATOR} "${CLI}" build -o "${WORK_DIR}/${NAME}.listing.tsp" "${WORK_DIR}/${NAME}.listing.tsasm")
expect_same_bytes("${program}" "${WORK_DIR}/${NAME}.listing.tsp" "the rebuilt listing")
