# talvoro_add_module(NAME source... [LINK library...])
#
# A program module: a shared object loaded at its first use through
# platform/ProgramModule.h. It is written to the build tree's module folder
# and installed under <libdir>/talvoro. Link the libraries it brings in here
# and nowhere else, so that the program itself does not map them at start.
set(TALVORO_BUILD_MODULE_DIR "${CMAKE_BINARY_DIR}/modules")

function(talvoro_add_module name)
    cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
    add_library(${name} MODULE ${ARG_UNPARSED_ARGUMENTS})
    set_target_properties(${name} PROPERTIES
        PREFIX "lib"
        LIBRARY_OUTPUT_DIRECTORY "${TALVORO_BUILD_MODULE_DIR}"
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src)
    if(ARG_LINK)
        target_link_libraries(${name} PRIVATE ${ARG_LINK})
    endif()
    install(TARGETS ${name} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/talvoro)
endfunction()
