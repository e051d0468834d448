# Configures and builds the WebAssembly engine with emscripten in BUILD_DIR.
# Called as: cmake -DSOURCE_DIR=... -DBUILD_DIR=... -P build_engine.cmake
cmake_minimum_required(VERSION 3.25)

# Debian's emscripten runs its JavaScript tools with the installed Node, which finds their
# modules (acorn) only through NODE_PATH.
if(DEFINED ENV{NODE_PATH})
    set(ENV{NODE_PATH} "/usr/share/nodejs:$ENV{NODE_PATH}")
else()
    set(ENV{NODE_PATH} "/usr/share/nodejs")
endif()
if(NOT EXISTS "${BUILD_DIR}/CMakeCache.txt")
    execute_process(COMMAND emcmake ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${BUILD_DIR}"
            -DCMAKE_BUILD_TYPE=Release
        RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "configuring the WebAssembly build failed (${rc})")
    endif()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${BUILD_DIR}" -j 2 RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building the WebAssembly engine failed (${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${BUILD_DIR}" -j 2 --target number_test
    RESULT_VARIABLE rc)
