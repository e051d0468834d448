# Runs a test compiled to WebAssembly under Node; skipped (77) when it was not built (Debian's
# googletest sources missing). Called as: cmake -DNODE=... -DTEST=....js -P run_if_built.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT EXISTS "${TEST}")
    message("${TEST} was not built (install googletest); skipped")
    cmake_language(EXIT 77)
endif()
execute_process(COMMAND "${NODE}" --no-experimental-fetch "${TEST}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${TEST} failed (${rc})")
endif()
