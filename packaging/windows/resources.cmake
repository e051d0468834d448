# The resources of the Windows programs: the icon, the version ("0.1"), and the manifest that
# asks for version 6 of the common controls and for per-monitor DPI awareness.
#
#   tessivor_windows_resources(TARGET PRODUCT DESCRIPTION)
function(tessivor_windows_resources target product description)
    set(TESSIVOR_RC_PRODUCT "${product}")
    set(TESSIVOR_RC_DESCRIPTION "${description}")
    get_target_property(output ${target} OUTPUT_NAME)
    if(NOT output)
        set(output ${target})
    endif()
    set(TESSIVOR_RC_FILE "${output}.exe")
    set(TESSIVOR_RC_DIR "${CMAKE_CURRENT_FUNCTION_LIST_DIR}")
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/program.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    if(MSVC)
        # The manifest comes with the resources; the linker must not add one of its own.
        target_link_options(${target} PRIVATE /MANIFEST:NO)
    endif()
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/tessivor.ico
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/tessivor.manifest)
endfunction()
