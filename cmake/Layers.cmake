# The layers: every folder that holds C++ code, and the folders its code may use. The build
# refuses a library of ours that links one outside its row (tessivor_check_layers in
# TessivorHelpers.cmake), and the test layers.includes holds every #include to the same rows
# (cmake/CheckIncludes.cmake). Read by both, so it holds data only.
#
#   tessivor_layer(FOLDER USES folder... [TESTS_USE folder...])
#
# TESTS_USE: what the folder's tests (files with "test" in their name) may use besides.
# A folder may always use itself. The rows go from the bottom layer up, and USES names only
# rows above its own, so no two layers can use each other.

macro(tessivor_layer folder)
    cmake_parse_arguments(TESSIVOR_LAYER_ARG "" "" "USES;TESTS_USE" ${ARGN})
    list(APPEND TESSIVOR_LAYER_FOLDERS ${folder})
    set("TESSIVOR_USES_${folder}" ${TESSIVOR_LAYER_ARG_USES})
    set("TESSIVOR_TESTS_USE_${folder}" ${TESSIVOR_LAYER_ARG_TESTS_USE})
endmacro()

set(TESSIVOR_LAYER_FOLDERS "")
# What every layer shares, header-only: the table of operations, endings, source places.
tessivor_layer(common)
# Files, clock, command line, console; the Qt half: dialogs, boxes, text, the event queue.
tessivor_layer(platform)
# The machine: the code string, the preparation pass, both step loops, the explanations.
tessivor_layer(runner/machine USES common TESTS_USE assembler/translate)
# The translation: compiletext, the source map, the disassembler, Program.
tessivor_layer(assembler/translate USES common TESTS_USE runner/machine)
# The checker.
tessivor_layer(assembler/check USES assembler/translate common)
# The debug session.
tessivor_layer(runner/debug USES runner/machine common TESTS_USE assembler/translate)
# The events format, JSON texts.
tessivor_layer(runner/events USES runner/machine common)
# The windows. The runner's Win32 test builds its programs with the translation.
tessivor_layer(runner/window USES runner/machine platform common TESTS_USE assembler/translate)
tessivor_layer(assembler/window USES assembler/translate platform common)
tessivor_layer(studio
    USES runner/debug runner/machine assembler/check assembler/translate platform common)
# Grading: test files, cases, verdicts, first differences, reports. The clock is its caller's;
# of the platform only the seeded random source, which is inline.
tessivor_layer(grading USES runner/events runner/machine assembler/translate platform common)
# The front ends without a window.
tessivor_layer(cli
    USES grading runner/events runner/debug runner/machine assembler/check assembler/translate platform
        common)
tessivor_layer(web/engine
    USES grading runner/events runner/debug runner/machine assembler/check assembler/translate platform
        common)
# Benchmarks and fuzz targets.
tessivor_layer(bench USES runner/machine runner/debug assembler/translate common)
tessivor_layer(fuzz USES runner/machine runner/debug assembler/translate assembler/check common)
# The Windows installer's check under Wine.
tessivor_layer(packaging/windows USES platform)
