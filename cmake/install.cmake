# Install rules, in three components:
#   lib    libtavrel.so.1 alone: what a device's firmware image carries
#   dev    headers, the libtavrel.so link, tavrel.pc and the CMake package
#   tools  the host platform, the tool, its man page and bash completion,
#          the example snapshot
# A device installs lib; a build machine all three.
#
# libtavrel leaves the device services (platform/*.h) undefined: a program
# links a platform library beside it. On a device that is the device's own;
# on a build machine it is the host platform, which the tools component
# installs as a private library of the tool (tavrel-host.pc, tavrel::host).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TAVREL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tavrel)
set(TAVREL_HOST_LIBDIR ${CMAKE_INSTALL_LIBDIR}/tavrel)

# --- lib and dev ---
install(TARGETS tavrel EXPORT tavrel-targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tavrel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev
  FILES_MATCHING PATTERN "*.h")
# What a platform library must provide; the library's own headers need none of it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tavrel/platform
  COMPONENT dev FILES_MATCHING PATTERN "*.h")
install(EXPORT tavrel-targets NAMESPACE tavrel:: DESTINATION ${TAVREL_CMAKE_DIR} COMPONENT dev)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tavrel-config.cmake.in
  ${PROJECT_BINARY_DIR}/tavrel-config.cmake
  INSTALL_DESTINATION ${TAVREL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tavrel-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tavrel-config.cmake ${PROJECT_BINARY_DIR}/tavrel-config-version.cmake
  DESTINATION ${TAVREL_CMAKE_DIR} COMPONENT dev)

# pkg-config files name directories relative to ${prefix}, so that
# --define-prefix and a sysroot both work; an absolute directory stays as given.
function(tavrel_pc_dir out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "\${prefix}/${dir}" PARENT_SCOPE)
  endif()
endfunction()
tavrel_pc_dir(TAVREL_PC_LIBDIR ${CMAKE_INSTALL_LIBDIR})
tavrel_pc_dir(TAVREL_PC_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
tavrel_pc_dir(TAVREL_PC_HOST_LIBDIR ${TAVREL_HOST_LIBDIR})
# ${prefix} itself is the prefix the tree is installed to, which
# `cmake --install --prefix DIR` may change after configuring: the install
# step writes it in (DESTDIR, a staging directory, is no part of it).
set(TAVREL_PC_PREFIX "@CMAKE_INSTALL_PREFIX@")
function(tavrel_install_pc name component)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${name}.pc.in ${PROJECT_BINARY_DIR}/${name}.pc.in @ONLY)
  install(CODE "configure_file(\"${PROJECT_BINARY_DIR}/${name}.pc.in\" \"${PROJECT_BINARY_DIR}/${name}.pc\" @ONLY)"
          COMPONENT ${component})
  install(FILES ${PROJECT_BINARY_DIR}/${name}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${component})
endfunction()
tavrel_install_pc(tavrel dev)

# --- tools ---
set_target_properties(tavrel_host PROPERTIES EXPORT_NAME host)
install(TARGETS tavrel_host EXPORT tavrel-host-targets
  LIBRARY DESTINATION ${TAVREL_HOST_LIBDIR} COMPONENT tools NAMELINK_COMPONENT tools)
install(EXPORT tavrel-host-targets NAMESPACE tavrel:: DESTINATION ${TAVREL_CMAKE_DIR} COMPONENT tools)
tavrel_install_pc(tavrel-host tools)

# The tool finds the host platform relative to itself, wherever the tree lands.
file(RELATIVE_PATH TAVREL_TOOL_TO_HOST ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/tavrel)
set_target_properties(tavrel_tool PROPERTIES INSTALL_RPATH "\$ORIGIN/${TAVREL_TOOL_TO_HOST}")
install(TARGETS tavrel_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/tools/tavrel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/tools/tavrel.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tavrel COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/examples/office.toml DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT tools)
