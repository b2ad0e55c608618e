# The identity of the Windows programs (zarnik.exe, setup.exe,
# uninstall.exe): the game's icon (which the shell shows for the program and
# for every shortcut to it), the version information (product Zarnik, the
# version of packaging/changelog, the team as company), a manifest (run as
# the user who starts it, aware of the screen's DPI, common controls 6), and
# no debug sections. The icon comes from the host build's PNG files.
set(ZARNIK_PUBLISHER "tým zarnik")  # installer/core/title.h: kPublisher
set(ZARNIK_ICON_SIZES 16 24 32 48 64 128 256)
set(ZARNIK_ICONS_RC ${CMAKE_BINARY_DIR}/identity/zarnik_icons.rc)
set(pngs)
foreach(size ${ZARNIK_ICON_SIZES})
  list(APPEND pngs ${ZARNIK_HOST_BUILD_DIR}/icons/hicolor/${size}x${size}/apps/zarnik.png)
endforeach()
list(JOIN ZARNIK_ICON_SIZES "\\;" sizes)
add_custom_command(
  OUTPUT ${ZARNIK_ICONS_RC}
  COMMAND ${CMAKE_COMMAND} -DOUT=${ZARNIK_ICONS_RC} -DSIZES=${sizes}
          -DPNG_DIR=${ZARNIK_HOST_BUILD_DIR}/icons/hicolor
          -P ${CMAKE_SOURCE_DIR}/cmake/windows_icon_rc.cmake
  DEPENDS ${pngs} ${CMAKE_SOURCE_DIR}/cmake/windows_icon_rc.cmake
  COMMENT "The game's icon for the Windows programs"
  VERBATIM)
add_custom_target(zarnik_icons_rc DEPENDS ${ZARNIK_ICONS_RC})

# zarnik_windows_identity(<target> <file name> <description>)
function(zarnik_windows_identity target name description)
  set(ZARNIK_RC_NAME ${name})
  set(ZARNIK_RC_DESCRIPTION ${description})
  set(ZARNIK_RC_MANIFEST ${CMAKE_SOURCE_DIR}/installer/win32/identity/program.manifest)
  set(rc ${CMAKE_BINARY_DIR}/identity/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/installer/win32/identity/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${ZARNIK_ICONS_RC};${ZARNIK_RC_MANIFEST}"
    COMPILE_OPTIONS "-I${CMAKE_BINARY_DIR}/identity;-c;65001")
  add_dependencies(${target} zarnik_icons_rc)
  # The programs a player runs carry no debug sections.
  target_link_options(${target} PRIVATE -s)
endfunction()
