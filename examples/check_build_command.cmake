# Checks the command line of `tessivor-cli build`: what it writes, reports and exits with.
# Called as: cmake -DCLI=... [-DEMULATOR=...] -DWORK_DIR=... -P check_build_command.cmake
# (EMULATOR runs CLI when it is a cross build)

cmake_minimum_required(VERSION 3.25)

function(fail message)
    message(FATAL_ERROR "${message}")
endfunction()

# build(STATUS STDERR_REGEX args...): runs build and checks its exit status and stderr.
function(build want_status want_err)
    execute_process(COMMAND ${EMULATOR} "${CLI}" build ${ARGN} WORKING_DIRECTORY "${WORK_DIR}"
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL want_status)
        fail("build ${ARGN}: exit status ${rc}, expected ${want_status}\n${err}")
    endif()
    if(NOT err MATCHES "${want_err}")
        fail("build ${ARGN}: stderr\n${err}\ndoes not match\n${want_err}")
    endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# A "set" with no ";": "Error Compiling.", the line and column where its text would begin,
# exit status 1, and no file written.
file(WRITE "${WORK_DIR}/bad.tsasm" "end\r\nset 01, Hello\r\ndsp 01\r\n")
build(1 "^Error Compiling\\.\nbad\\.tsasm:2:9: [^\n]*\"set\" at 2:1[^\n]*\n$" bad.tsasm)
if(EXISTS "${WORK_DIR}/bad.tsp")
    fail("a failed build wrote bad.tsp")
endif()
# ... nor is an existing file touched.
file(WRITE "${WORK_DIR}/old.tsp" "keep me")
build(1 "^Error Compiling\\." -o old.tsp bad.tsasm)
file(READ "${WORK_DIR}/old.tsp" kept)
if(NOT kept STREQUAL "keep me")
    fail("a failed build changed an existing output file")
endif()
# A text that ends before the literal: the place just after the last character.
file(WRITE "${WORK_DIR}/short.tsasm" "dsp 01\nset 0")
build(1 "short\\.tsasm:2:6: " short.tsasm)

# Success writes the code string and CR LF, next to the source by default.
file(WRITE "${WORK_DIR}/ok.tsasm" "set 01, Hi;\r\ndsp 01\r\nend\r\n")
build(0 "^$" ok.tsasm)
file(READ "${WORK_DIR}/ok.tsp" hex HEX)
string(HEX "a01sAHAia01wp\r\n" want)
if(NOT hex STREQUAL want)
    fail("ok.tsp holds ${hex}, expected ${want}")
endif()

# Standard input and output.
# (Through a file: CMake drops the CR of a CR LF in captured output.)
execute_process(COMMAND ${EMULATOR} "${CLI}" build - INPUT_FILE "${WORK_DIR}/ok.tsasm"
    RESULT_VARIABLE rc OUTPUT_FILE "${WORK_DIR}/stdout.tsp")
file(READ "${WORK_DIR}/stdout.tsp" hex HEX)
if(NOT rc EQUAL 0 OR NOT hex STREQUAL want)
    fail("build - wrote ${hex} with exit status ${rc}")
endif()
execute_process(COMMAND ${EMULATOR} "${CLI}" build - INPUT_FILE "${WORK_DIR}/bad.tsasm"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT out STREQUAL "" OR NOT err MATCHES "^Error Compiling.\n-:2:9: ")
    fail("build - of a bad text: status ${rc}, stdout '${out}', stderr '${err}'")
endif()

# Unreadable source, unwritable output, a source the default output would overwrite, usage.
build(66 "missing\\.tsasm" missing.tsasm)
build(73 "nowhere/x\\.tsp" -o nowhere/x.tsp ok.tsasm)
file(WRITE "${WORK_DIR}/prog.tsp" "end\r\n")
build(64 "prog\\.tsp" prog.tsp)
file(READ "${WORK_DIR}/prog.tsp" kept HEX)
if(NOT kept STREQUAL "656e640d0a")
    fail("building prog.tsp overwrote its own source")
endif()
build(64 "no source file" -o x.tsp)
build(64 "unknown option" --frobnicate ok.tsasm)
