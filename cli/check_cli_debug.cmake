# tessivor-cli's source places and debugger end to end. Run with -DCLI=... -DEXAMPLES=...
# -DWORK_DIR=...: a scripted session on count.tsasm against its expected JSON, and the place a
# failed run names.

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

function(expect_equal what actual expected)
    if(NOT actual STREQUAL expected)
        message(FATAL_ERROR "${what}:\n--- got ---\n${actual}\n--- expected ---\n${expected}")
    endif()
endfunction()

function(expect_contains what text part)
    string(FIND "${text}" "${part}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${what}: \"${part}\" not in:\n${text}")
    endif()
endfunction()

# The scripted session answers exactly as expected.
execute_process(COMMAND "${CLI}" debug --json -x "${EXAMPLES}/count.debug" "${EXAMPLES}/count.tsasm"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ "${EXAMPLES}/count.debug.expect" expected)
expect_equal("debug exit status" "${rc}" "0")
expect_equal("scripted session on count.tsasm" "${out}" "${expected}")

# The same session on the built program with its source gives the same answers.
execute_process(COMMAND "${CLI}" build "${EXAMPLES}/count.tsasm" -o "${WORK_DIR}/count.tsp"
    RESULT_VARIABLE rc)
execute_process(COMMAND "${CLI}" debug --json -x "${EXAMPLES}/count.debug"
    --source "${EXAMPLES}/count.tsasm" "${WORK_DIR}/count.tsp"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect_equal("session on count.tsp with --source" "${out}" "${expected}")

# Input boxes read --input, one line a box; its end is Cancel, so the second guess is empty
# and the comparison of guess.tsasm fails on it.
file(WRITE "${WORK_DIR}/guess.script" "continue\nprint 08\n")
execute_process(COMMAND "${CLI}" debug --json --seed 7 -x "${WORK_DIR}/guess.script"
    --input "${WORK_DIR}/guesses" "${EXAMPLES}/guess.tsasm"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_equal("missing --input file" "${rc}" "66")
expect_contains("missing --input file" "${err}" "guesses: cannot be read")
file(WRITE "${WORK_DIR}/guesses" "50\n")
execute_process(COMMAND "${CLI}" debug --json --seed 7 -x "${WORK_DIR}/guess.script"
    --input "${WORK_DIR}/guesses" "${EXAMPLES}/guess.tsasm"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_contains("guess with one reply" "${out}" "\"stop\": \"error\", \"steps\": 109, \"pc\": 166")
expect_contains("guess with one reply" "${out}" "\"messages\": [\"Type mismatch byte 166 op 106 j\", \"Program Ended\"], \"report\": \"${EXAMPLES}/guess.tsasm:22:1: ifl 08, 03: Type mismatch: cell 08 holds \\\"\\\" (empty), not a number\"}")
expect_contains("guess with one reply" "${out}" "\"print\": {\"08\": \"\"}")

# A beginning that several commands share is named ambiguous, with them; one command's is
# that command.
file(WRITE "${WORK_DIR}/short.script" "ba\nst\nbacks\nwa 3\n")
execute_process(COMMAND "${CLI}" debug -x "${WORK_DIR}/short.script" "${EXAMPLES}/count.tsasm"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_equal("short commands exit status" "${rc}" "0")
expect_equal("short commands" "${out}" "(tessivor) ba
error: ambiguous command 'ba': back, backstep; try help
(tessivor) st
error: ambiguous command 'st': step, stepi; try help
(tessivor) backs
The history reaches no further back.
${EXAMPLES}/count.tsasm:5:1  set 01, 1;  [pc=1 cur=0 opb=0 opc=0 steps=0]
(tessivor) wa 3
Watch 1 on cell 03
")

# Bad usage.
execute_process(COMMAND "${CLI}" debug --clock fast "${EXAMPLES}/count.tsasm"
    RESULT_VARIABLE rc ERROR_VARIABLE err)
expect_equal("bad --clock" "${rc}" "64")

# A failed run of a source names the place, the instruction and the reason.
file(WRITE "${WORK_DIR}/fail.tsasm" "set 03, 5;\r\n\r\nifl 08, 03\r\neif\r\nend\r\n")
execute_process(COMMAND "${CLI}" run "${WORK_DIR}/fail.tsasm"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_equal("failed run exit status" "${rc}" "1")
expect_contains("failed run" "${err}" "Type mismatch byte 15 op 106 j\nProgram Ended\n")
expect_contains("failed run" "${err}"
    "fail.tsasm:3:1: ifl 08, 03: Type mismatch: cell 08 holds \"\" (empty), not a number\n")
execute_process(COMMAND "${CLI}" run --events "${WORK_DIR}/fail.tsasm" OUTPUT_VARIABLE out)
expect_contains("events" "${out}" "\"place\": \"${WORK_DIR}/fail.tsasm:3:1: ifl 08, 03: Type")

# A program file with its source; a source that builds to something else is refused.
execute_process(COMMAND "${CLI}" build "${WORK_DIR}/fail.tsasm" -o "${WORK_DIR}/fail.tsp")
execute_process(COMMAND "${CLI}" run --source "${WORK_DIR}/fail.tsasm" "${WORK_DIR}/fail.tsp"
    RESULT_VARIABLE rc ERROR_VARIABLE err)
expect_contains("run --source" "${err}" "fail.tsasm:3:1: ifl 08, 03: Type mismatch")
execute_process(COMMAND "${CLI}" run --source "${EXAMPLES}/count.tsasm" "${WORK_DIR}/fail.tsp"
    RESULT_VARIABLE rc ERROR_VARIABLE err)
expect_equal("mismatched source exit status" "${rc}" "65")
expect_contains("mismatched source" "${err}" "does not build to the program in")
# Without a source the run reports as the runner window does, and nothing more.
execute_process(COMMAND "${CLI}" run "${WORK_DIR}/fail.tsp" ERROR_VARIABLE err)
expect_equal("run without source" "${err}" "Type mismatch byte 15 op 106 j\nProgram Ended\n")

# A source that does not build: "Error Compiling.", the place, exit 1, nothing run.
file(WRITE "${WORK_DIR}/bad.tsasm" "dsp 01\r\nset 01, x")
execute_process(COMMAND "${CLI}" run "${WORK_DIR}/bad.tsasm"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_equal("failed build exit status" "${rc}" "1")
expect_contains("failed build" "${err}" "Error Compiling.\ntessivor-cli run: ${WORK_DIR}/bad.tsasm:2:9:")

# The trace names the instruction and its place.
execute_process(COMMAND "${CLI}" run --trace "${EXAMPLES}/count.tsasm" OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_contains("trace" "${err}" "4 pc=7 code=97 'a' cur=1 opb=0 opc=0  set 02, 10;  ${EXAMPLES}/count.tsasm:6:1\n")
