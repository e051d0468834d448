# Checks one example end to end:
#   1. `tessivor-cli build` translates NAME.tsasm (and the committed NAME.tsp, if any, equals it);
#   2. `tessivor-cli disasm` lists the program and building the listing gives the same file;
#   3. `tessivor-cli run --events RUN_FLAGS` fed the example's input prints what NAME.expect says.
# Called as: cmake -DCLI=... [-DEMULATOR=...] -DNAME=... -DSOURCE_DIR=... -DWORK_DIR=...
#     [-DRUN_FLAGS="..."] -P check_example.cmake (EMULATOR runs CLI when it is a cross build)
#
# NAME.expect, one directive a line (blank lines and "#" lines are ignored):
#   seed N         run with --seed N
#   input TEXT     one line fed to stdin, for one input box, in order ("input" alone: empty)
#   {...}          the next event line on stdout, equal as JSON
#   ? {...}        the next event line has at least these members with these values; the value
#                  "*" accepts any value
# Caption events are left out of the comparison: how often the speed display changes depends
# on the clock. The exit status must be the one the last line's "end" stands for.

cmake_minimum_required(VERSION 3.25)

function(fail message)
    message(FATAL_ERROR "${NAME}: ${message}")
endfunction()

function(run_cli result_var)
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
set(source "${SOURCE_DIR}/${NAME}.tsasm")
set(program "${WORK_DIR}/${NAME}.tsp")

# 1. Build.
file(REMOVE "${program}")
run_cli(ignored ${EMULATOR} "${CLI}" build -o "${program}" "${source}")
if(EXISTS "${SOURCE_DIR}/${NAME}.tsp")
    expect_same_bytes("${SOURCE_DIR}/${NAME}.tsp" "${program}" "the committed program file")
endif()

# 2. The listing builds back into the same program file.
execute_process(COMMAND ${EMULATOR} "${CLI}" disasm "${program}" RESULT_VARIABLE rc
    OUTPUT_FILE "${WORK_DIR}/${NAME}.listing.tsasm" ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    fail("disasm exited with ${rc}: ${err}")
endif()
run_cli(ignored ${EMULATOR} "${CLI}" build -o "${WORK_DIR}/${NAME}.listing.tsp"
    "${WORK_DIR}/${NAME}.listing.tsasm")
expect_same_bytes("${program}" "${WORK_DIR}/${NAME}.listing.tsp" "the rebuilt listing")

# 3. Run. Lines are split by hand: ";" and brackets would confuse CMake lists.
file(READ "${SOURCE_DIR}/${NAME}.expect" expect_text)
string(REPLACE ";" "<semicolon>" expect_text "${expect_text}")
string(REPLACE "[" "<open>" expect_text "${expect_text}")
string(REPLACE "]" "<close>" expect_text "${expect_text}")
string(REPLACE "\r" "" expect_text "${expect_text}")
string(REPLACE "\n" ";" expect_lines "${expect_text}")

set(run_flags "")
if(RUN_FLAGS)
    separate_arguments(run_flags UNIX_COMMAND "${RUN_FLAGS}")
endif()
set(input "")
set(expected "")
foreach(line IN LISTS expect_lines)
    if(line STREQUAL "" OR line MATCHES "^#")
        continue()
    elseif(line MATCHES "^seed ([0-9]+)$")
        list(APPEND run_flags --seed ${CMAKE_MATCH_1})
    elseif(line MATCHES "^input( (.*))?$")
        string(APPEND input "${CMAKE_MATCH_2}\n")
    elseif(line MATCHES "^(\\? )?{")
        list(APPEND expected "${line}")
    else()
        fail("NAME.expect: cannot read the line '${line}'")
    endif()
endforeach()
string(REPLACE "<semicolon>" ";" input "${input}")
file(WRITE "${WORK_DIR}/${NAME}.input" "${input}")

execute_process(COMMAND ${EMULATOR} "${CLI}" run --events ${run_flags} "${program}"
    INPUT_FILE "${WORK_DIR}/${NAME}.input"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE err)
string(REPLACE ";" "<semicolon>" output "${output}")
string(REPLACE "[" "<open>" output "${output}")
string(REPLACE "]" "<close>" output "${output}")
string(REPLACE "\n" ";" output_lines "${output}")
set(events "")
foreach(line IN LISTS output_lines)
    if(NOT line STREQUAL "" AND NOT line MATCHES "^{\"caption\"")
        list(APPEND events "${line}")
    endif()
endforeach()

function(restore out text)
    string(REPLACE "<semicolon>" ";" text "${text}")
    string(REPLACE "<open>" "[" text "${text}")
    string(REPLACE "<close>" "]" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

list(LENGTH expected expected_count)
list(LENGTH events event_count)
if(NOT expected_count EQUAL event_count)
    restore(shown "${events}")
    fail("expected ${expected_count} events, got ${event_count}:\n${shown}\n${err}")
endif()
math(EXPR last "${event_count} - 1")
foreach(k RANGE ${last})
    list(GET expected ${k} want)
    list(GET events ${k} got)
    restore(want "${want}")
    restore(got "${got}")
    if(want MATCHES "^\\? (.*)$")
        set(want "${CMAKE_MATCH_1}")
        string(JSON members LENGTH "${want}")
        math(EXPR last_member "${members} - 1")
        foreach(m RANGE ${last_member})
            string(JSON key MEMBER "${want}" ${m})
            string(JSON want_type TYPE "${want}" "${key}")
            string(JSON want_value GET "${want}" "${key}")
            string(JSON got_value ERROR_VARIABLE missing GET "${got}" "${key}")
            if(missing)
                fail("event ${k}: '${got}' has no \"${key}\"")
            endif()
            if(want_type STREQUAL "STRING" AND want_value STREQUAL "*")
                continue()
            endif()
            string(JSON got_type TYPE "${got}" "${key}")
            if(NOT want_type STREQUAL got_type OR NOT want_value STREQUAL got_value)
                fail("event ${k}: \"${key}\" is ${got_value}, expected ${want_value}")
            endif()
        endforeach()
    else()
        string(JSON same EQUAL "${want}" "${got}")
        if(NOT same)
            fail("event ${k}: got\n  ${got}\nexpected\n  ${want}")
        endif()
    endif()
endforeach()

restore(last_event "${got}")
string(JSON how GET "${last_event}" end)
set(statuses terminated 0 error 1 passed-end 2 prepare-failed 3 step-limit 4)
list(FIND statuses "${how}" at)
math(EXPR at "${at} + 1")
list(GET statuses ${at} want_status)
if(NOT status EQUAL want_status)
    fail("exit status ${status}, expected ${want_status} for \"${how}\": ${err}")
endif()
