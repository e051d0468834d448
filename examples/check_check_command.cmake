# Checks the command line of `tessivor-cli check`, and the checker's warnings in `build` and in
# `run` of a source: what they print, where, and the exit statuses.
# Called as: cmake -DCLI=... -DWORK_DIR=... -DEXAMPLES=... -P check_check_command.cmake

cmake_minimum_required(VERSION 3.25)

function(fail message)
    message(FATAL_ERROR "${message}")
endfunction()

# run(STATUS OUT_REGEX ERR_REGEX args...): runs the CLI and checks its answer.
function(run want_status want_out want_err)
    execute_process(COMMAND "${CLI}" ${ARGN} WORKING_DIRECTORY "${WORK_DIR}"
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL want_status)
        fail("${ARGN}: exit status ${rc}, expected ${want_status}\n${out}\n${err}")
    endif()
    if(NOT out MATCHES "${want_out}")
        fail("${ARGN}: stdout\n${out}\ndoes not match\n${want_out}")
    endif()
    if(NOT err MATCHES "${want_err}")
        fail("${ARGN}: stderr\n${err}\ndoes not match\n${want_err}")
    endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(WRITE "${WORK_DIR}/slips.tsasm" "add 01 02 03\r\ndsp 03\r\n\tdsp 1\r\nend\r\n")
file(WRITE "${WORK_DIR}/unset.tsasm" "dsp 01\r\nset 01, Hello\r\nlbl 05\r\n")
file(WRITE "${WORK_DIR}/clean.tsasm" "set 01, Hi;\r\ndsp 01\r\nend\r\n")
file(WRITE "${WORK_DIR}/note.tsasm" "set 01, 42;\r\nmpt 01\r\ndsp 01\r\n")

# Text: the place, the severity, the message and its code; the source line; a caret under the
# place (after the line's own tab); the line as it should be written; a summary.
set(first "^slips\\.tsasm:1:5: warning: \"add\" reads its operands at fixed columns[^\n]*\\[operand-columns\\]\n")
string(APPEND first "  1 \\| add 01 02 03\n")
string(APPEND first "    \\|     \\^~~~~~~~\n")
string(APPEND first "fix \\| add 01, 02, 03\n")
string(APPEND first "slips\\.tsasm:2:1: warning: this \"dsp\" is never translated[^\n]*\\[hidden-instruction\\]\n")
string(APPEND first "  2 \\| dsp 03\n    \\| \\^~~\n")
string(APPEND first "slips\\.tsasm:3:6: warning: [^\n]*\\[operand-digits\\]\n  3 \\| \tdsp 1\n    \\| \t    \\^\nfix \\| \tdsp 01\n")
string(APPEND first "3 warnings in 1 file\\.\n$")
run(0 "${first}" "^$" check slips.tsasm)
# Warnings fail the check only with --werror; an error always does.
run(1 "3 warnings in 1 file" "^$" check --werror slips.tsasm)
run(1 "unset\\.tsasm:2:1: error: [^\n]*\\[missing-semicolon\\]\n(.*\n)*fix \\| set 01, Hello;\n(.*\n)*1 error and 1 warning in 1 file\\.\n$" "^$"
    check unset.tsasm)
# Notes never fail, not even with --werror.
run(0 "note: [^\n]*\\[mpt-no-effect\\]" "^$" check --werror note.tsasm)
run(0 "^No problems found in 1 file\\.\n$" "^$" check clean.tsasm)

# A long line is shown as a stretch around the place, cut with "...", the caret still under it.
string(REPEAT "x" 300 long)
file(WRITE "${WORK_DIR}/long.tsasm" "${long} dsp 1\r\n")
string(REPEAT "x" 35 tail)
string(REPEAT " " 43 indent)
run(0 "  1 \\| \\.\\.\\.${tail} dsp 1\n    \\| ${indent}\\^\n" "^$" check long.tsasm)

# Several files, one summary; the examples check clean.
file(GLOB examples "${EXAMPLES}/*.tsasm")
list(LENGTH examples count)
run(0 "^No problems found in ${count} files\\.\n$" "^$" check ${examples})
run(0 "3 warnings in 2 files\\.\n$" "^$" check clean.tsasm slips.tsasm)

# JSON: one object a line, nothing else.
set(json "^{\"file\":\"slips\\.tsasm\",\"line\":1,\"column\":5,\"endColumn\":13,\"severity\":\"warning\",\"code\":\"operand-columns\",\"message\":\"\\\\\"add\\\\\" reads [^\n]*\",\"suggestion\":\"add 01, 02, 03\"}\n")
string(APPEND json "{\"file\":\"slips\\.tsasm\",\"line\":2,[^\n]*\"suggestion\":null}\n")
string(APPEND json "{[^\n]*\"suggestion\":\"\\\\tdsp 01\"}\n$")
run(0 "${json}" "^$" check --format json slips.tsasm)
run(0 "^$" "^$" check --format json clean.tsasm)

# Every line is JSON that CMake itself can read, also with a byte that is no UTF-8 (a Latin-1
# "é") and with UTF-8 in the source.
string(ASCII 233 latin1)
file(WRITE "${WORK_DIR}/bytes.tsasm" "set 01, caf${latin1};\r\nset 02, café;\r\nprint \"x\"\r\n")
execute_process(COMMAND "${CLI}" check --format json bytes.tsasm WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0)
    fail("check --format json bytes.tsasm: status ${rc}")
endif()
set(codes "")
set(rest "${out}")
while(NOT rest STREQUAL "")
    string(FIND "${rest}" "\n" end)
    string(SUBSTRING "${rest}" 0 ${end} object)
    math(EXPR end "${end} + 1")
    string(SUBSTRING "${rest}" ${end} -1 rest)
    string(JSON code GET "${object}" code)
    string(JSON line GET "${object}" line)
    string(JSON message GET "${object}" message)
    string(APPEND codes "${line} ${code},")
endwhile()
if(NOT codes STREQUAL "1 set-character,2 set-character,3 stray-text,")
    fail("check --format json bytes.tsasm gave ${codes}")
endif()

# Standard input, an unreadable file (the others are still checked), bad usage.
execute_process(COMMAND "${CLI}" check - INPUT_FILE "${WORK_DIR}/unset.tsasm"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 1 OR NOT out MATCHES "^<stdin>:2:1: error: ")
    fail("check - : status ${rc}, stdout '${out}'")
endif()
run(66 "3 warnings in 1 file" "^tessivor-cli check: missing\\.tsasm: [^\n]+\n$" check missing.tsasm slips.tsasm)
run(64 "^$" "FILE is required" check)
run(64 "^$" "xml" check --format xml slips.tsasm)
run(64 "^$" "frobnicate" check --frobnicate slips.tsasm)
run(0 "^usage: tessivor-cli check " "^$" check --help)

# build: the same warnings on stderr, the program file unchanged; --quiet silences them.
run(0 "^$" "^slips\\.tsasm:1:5: warning: [^\n]*\\[operand-columns\\]\n(.*\n)*fix \\| \tdsp 01\n$" build slips.tsasm)
file(READ "${WORK_DIR}/slips.tsp" built HEX)
run(0 "^$" "^$" build --quiet -o quiet.tsp slips.tsasm)
file(READ "${WORK_DIR}/quiet.tsp" quiet HEX)
if(NOT built STREQUAL quiet)
    fail("the warnings changed the program file: ${built} against ${quiet}")
endif()
# A failed build: "Error Compiling." and its own line come first, then the warnings, without
# the failed "set" a second time.
run(1 "^$" "^Error Compiling\\.\nunset\\.tsasm:2:9: [^\n]*\nunset\\.tsasm:3:5: warning: [^\n]*\\[label-number\\]\n" build unset.tsasm)
run(1 "^$" "^Error Compiling\\.\nunset\\.tsasm:2:9: [^\n]*\n$" build --quiet unset.tsasm)

# run of a source: the same warnings on stderr, before what the run shows, and the same exit
# status; --quiet silences them. A program file has no source to warn about.
file(WRITE "${WORK_DIR}/shows.tsasm" "set 01, Hi;\r\ndsp 01\r\nprint 01\r\nend\r\n")
set(warning "shows\\.tsasm:3:1: warning: [^\n]*\\[stray-text\\]\n  3 \\| print 01\n[^\n]*\nfix \\| dsp 01\n")
run(0 "^Hi\n$" "^${warning}Program Terminated\n$" run shows.tsasm)
run(0 "^Hi\n$" "^Program Terminated\n$" run --quiet shows.tsasm)
run(0 "^$" "^${warning}$" build -o shows.tsp shows.tsasm)
run(0 "^Hi\n$" "^Program Terminated\n$" run shows.tsp)
# A failed run shows the warnings first, then its place, with the same exit status.
run(1 "^$" "^slips\\.tsasm:1:5: warning: [^\n]*\\[operand-columns\\]\n(.*\n)*fix \\| \tdsp 01\nType mismatch[^\n]*\nProgram Ended\nslips\\.tsasm:1:1: add 01, "
    run slips.tsasm)
# --events keeps stdout to its events; the warnings stay on stderr.
run(0 "^({\"caption\": [^\n]*\n)*{\"display\": \"Hi\"}\n{\"message\": \"Program Terminated\"}\n{\"end\": " "^${warning}$"
    run --events shows.tsasm)
# A failed build: its own lines first, then the warnings, as build gives them.
run(1 "^$" "^Error Compiling\\.\ntessivor-cli run: unset\\.tsasm:2:9: [^\n]*\nunset\\.tsasm:3:5: warning: [^\n]*\\[label-number\\]\n" run unset.tsasm)
run(1 "^$" "^Error Compiling\\.\ntessivor-cli run: unset\\.tsasm:2:9: [^\n]*\n$" run --quiet unset.tsasm)
