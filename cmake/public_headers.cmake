# A part's public headers: what a user calls and what those headers include,
# nothing else. They are installed under include/sweepview/<part>/ and mirrored
# in the build tree as links, so a project that takes us in with
# add_subdirectory writes the same <sweepview/...> includes as an installed one
# and sees no internal header either. Public headers include each other by
# relative paths ("vec3.h", "../geometry/vec3.h"), which resolve alike in the
# sources, in the mirror and in the install. The function also gives the
# library its include paths and the export name users link (sweepview::<part>).
set(SWEEP_BUILD_INCLUDE ${PROJECT_BINARY_DIR}/sweepview_include)
file(REMOVE_RECURSE ${SWEEP_BUILD_INCLUDE})

function(sweep_public_headers target part)
    file(MAKE_DIRECTORY ${SWEEP_BUILD_INCLUDE}/sweepview/${part})
    set(files)
    foreach(header IN LISTS ARGN)
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header}
             ${SWEEP_BUILD_INCLUDE}/sweepview/${part}/${header} SYMBOLIC COPY_ON_ERROR)
        list(APPEND files ${CMAKE_CURRENT_SOURCE_DIR}/${header})
    endforeach()
    # The sources include every header, public or not, from the source root.
    target_include_directories(${target}
        PRIVATE ${PROJECT_SOURCE_DIR}
        PUBLIC $<BUILD_INTERFACE:${SWEEP_BUILD_INCLUDE}>
               $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${part})
    if(SWEEP_INSTALL)
        install(FILES ${files} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sweepview/${part})
    endif()
endfunction()
