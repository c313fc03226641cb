# Installation of the collision core as a CMake package (sweepview::geometry,
# sweepview::scene, sweepview::collision), with a pkg-config file, and of the
# programs; and the Debian package made by cpack from the same rules.
include(CMakePackageConfigHelpers)

set(SWEEP_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/sweepview)
# The headers are installed by sweep_public_headers, each part's own list.
install(TARGETS sweepview_geometry sweepview_scene sweepview_collision EXPORT sweepviewTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT sweepviewTargets NAMESPACE sweepview:: DESTINATION ${SWEEP_CMAKE_DIR})
configure_package_config_file(cmake/sweepviewConfig.cmake.in
    ${PROJECT_BINARY_DIR}/sweepviewConfig.cmake INSTALL_DESTINATION ${SWEEP_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/sweepviewConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/sweepviewConfig.cmake
              ${PROJECT_BINARY_DIR}/sweepviewConfigVersion.cmake DESTINATION ${SWEEP_CMAKE_DIR})

# pkg-config finds the prefix from the file's own place, so an unpacked
# package works wherever it lies.
file(RELATIVE_PATH SWEEP_PC_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(cmake/sweepview.pc.in ${PROJECT_BINARY_DIR}/sweepview.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/sweepview.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

foreach(program sweepview dorn)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

set(CPACK_PACKAGE_NAME sweepview)
set(CPACK_PACKAGE_VENDOR "sweepview")
set(CPACK_PACKAGE_CONTACT "sweepview developers <sweepview@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Swept-sphere collision against triangle meshes: library, viewer and dorn tool")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The run-time libraries of the programs (Assimp, GLUT, GL) from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
