# Header-only libraries that Debian installs for the host only (CLI11 in /usr/include/CLI,
# toml++ in /usr/include/toml++)
# serve a cross build as well. The cross compiler must not search /usr/include as a whole (the
# host's C library would shadow the target's), so each one is copied into the build tree and
# that copy is put on the include path.
set(tessivor_cross_include ${CMAKE_BINARY_DIR}/cross-include)
foreach(dir CLI toml++)
    if(EXISTS /usr/include/${dir})
        file(COPY /usr/include/${dir} DESTINATION ${tessivor_cross_include})
    endif()
endforeach()
include_directories(SYSTEM ${tessivor_cross_include})

# find_package(CLI11) would find the host's package file, whose target names /usr/include; the
# target is defined here first, on the copy, and the package file then leaves it as it is.
if(EXISTS ${tessivor_cross_include}/CLI AND NOT TARGET CLI11::CLI11)
    add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
    set_target_properties(CLI11::CLI11 PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${tessivor_cross_include})
    if(EXISTS /usr/share/cmake/CLI11/CLI11Config.cmake)
        set(CLI11_DIR /usr/share/cmake/CLI11 CACHE PATH "The host's CLI11 package file")
    endif()
endif()

# toml++ is used header-only there (cli/CMakeLists.txt looks for its header in this folder).
if(EXISTS ${tessivor_cross_include}/toml++/toml.h)
    set(TESSIVOR_TOMLPP_INCLUDE ${tessivor_cross_include} CACHE PATH "toml++'s headers" FORCE)
endif()
