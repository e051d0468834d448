# GoogleTest for a cross build: the host's libgtest cannot link into the target's programs, so
# it is built from Debian's sources (package googletest, /usr/src/googletest) with the cross
# compiler, under the names find_package(GTest) gives.
set(TESSIVOR_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
if(NOT EXISTS ${TESSIVOR_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "Cross-built tests need GoogleTest's sources in ${TESSIVOR_GTEST_SOURCE} "
        "(Debian package googletest), or -DTESSIVOR_TESTS=OFF")
endif()
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    message(WARNING "No CMAKE_CROSSCOMPILING_EMULATOR (wine): the tests build but cannot run here")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${TESSIVOR_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
    endif()
endforeach()
