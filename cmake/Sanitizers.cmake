# Builds that look for faults rather than ship:
#   TESSIVOR_SANITIZE  everything, tests included, under AddressSanitizer and
#                      UndefinedBehaviorSanitizer; any report ends the process with a failure,
#                      so a test that triggers one fails.
#   TESSIVOR_FUZZ      the same sanitizers plus libFuzzer's coverage instrumentation on every
#                      library, and the fuzz targets in fuzz/ (Clang only).
option(TESSIVOR_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TESSIVOR_FUZZ "Build the libFuzzer targets (needs Clang)" OFF)

if(TESSIVOR_SANITIZE OR TESSIVOR_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        message(FATAL_ERROR "TESSIVOR_SANITIZE and TESSIVOR_FUZZ need GCC or Clang")
    endif()
    set(tessivor_sanitize_flags
        -fsanitize=address,undefined
        -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    add_compile_options(${tessivor_sanitize_flags} -g)
    # The sanitizers change GCC's inlining so that it warns falsely inside libstdc++ (std::regex's
    # moved std::function "may be used uninitialized"); the plain builds keep the warning.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        add_compile_options(-Wno-maybe-uninitialized)
    endif()
    add_link_options(${tessivor_sanitize_flags})
endif()

if(TESSIVOR_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "TESSIVOR_FUZZ needs Clang (for example -DCMAKE_CXX_COMPILER=clang++-14)")
    endif()
    # Coverage feedback everywhere; only the fuzz targets link libFuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
