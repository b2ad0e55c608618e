# What an installation holds besides the programs and the data
# (installer/linux/): the manual pages of the commands in bin/, in English
# and Czech, the copyright file and the release notes; and the Debian package
# CPack makes of the whole installation (`cpack -G DEB` in the build folder,
# as scripts/release.sh and scripts/test-package.sh run it) into
# <build>/package/zarnik_<version>_amd64.deb.
include(GNUInstallDirs)
find_program(ZARNIK_GZIP gzip REQUIRED)

set(ZARNIK_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${ZARNIK_PACKAGING_OUT}/man/cs)
set(zarnik_packaging_outputs)

# Compresses `source` into `output` with the most compression and without a
# name or a time in the header (gzip -n), so that the file is the same in
# every build, as Debian wants of manual pages and changelogs.
function(zarnik_gzip source output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND sh -c "\"$1\" -9n -c \"$2\" > \"$3.tmp\" && mv -f \"$3.tmp\" \"$3\"" sh
            ${ZARNIK_GZIP} ${source} ${output}
    DEPENDS ${source}
    VERBATIM)
  set(zarnik_packaging_outputs ${zarnik_packaging_outputs} ${output} PARENT_SCOPE)
endfunction()

# A manual page of section 6 in each language, with the version and the
# release's date filled in.
function(zarnik_manual_page name)
  foreach(lang "" cs)
    if(lang)
      set(sub ${lang}/)
    else()
      set(sub "")
    endif()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/man/${sub}${name}.6
                   ${ZARNIK_PACKAGING_OUT}/man/${sub}${name}.6 @ONLY)
    zarnik_gzip(${ZARNIK_PACKAGING_OUT}/man/${sub}${name}.6
                ${ZARNIK_PACKAGING_OUT}/man/${sub}${name}.6.gz)
    install(FILES ${ZARNIK_PACKAGING_OUT}/man/${sub}${name}.6.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/${sub}man6)
  endforeach()
  set(zarnik_packaging_outputs ${zarnik_packaging_outputs} PARENT_SCOPE)
endfunction()

if(TARGET zarnik)
  zarnik_manual_page(zarnik)
endif()
if(TARGET installer)
  zarnik_manual_page(zarnik-installer)
  zarnik_manual_page(zarnik-uninstaller)
endif()

zarnik_gzip(${ZARNIK_CHANGELOG} ${ZARNIK_PACKAGING_OUT}/changelog.gz)
add_custom_target(zarnik_packaging_files ALL DEPENDS ${zarnik_packaging_outputs})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${ZARNIK_PACKAGING_OUT}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package holds the game and its installer together: without
# either, the configure makes no package.
if(NOT TARGET zarnik OR NOT TARGET installer)
  message(STATUS "The game or the installer is not built: no Debian package")
  return()
endif()

# Everything the installation holds, built: `cpack` installs but does not
# build.
add_custom_target(zarnik_package_parts)
add_dependencies(zarnik_package_parts zarnik installer uninstaller zarnik_data
                 zarnik_packaging_files)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarnik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The programs without their debugging information, as `--strip` installs.
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "2D arcade space shooter")
# The long description in lines of at most 80 characters, as Debian wants.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Fly one ship among twinkling stars, drifting planets and a tumbling meteor,"
  "and fight off up to ten enemies at a time with shots and homing missiles."
  "Destroyed enemies leave bonuses that restore the shield or add missiles,"
  "and every level brings more of them. The best fifteen scores are kept."
  "."
  "The game is played with the keyboard, the mouse or a gamepad. All its texts"
  "are in Czech. Each player gets a game folder of their own; the installer"
  "window can also copy the game into a folder of the player's choice.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "tým zarnik <zarnik@users.noreply.github.com>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs link, as dpkg-shlibdeps finds them, and
# what the game loads by name: a General MIDI soundfont for FluidSynth, the
# fonts its texts are drawn in (platform/fonts), and Qt's platform plugins,
# without which the installer's window cannot open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "timgm6mb-soundfont | sf2-soundfont-gm, fonts-liberation2 | fonts-liberation, fonts-dejavu-core, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# xz writes one stream with one thread and blocks with more (the same for any
# number above one): a fixed number keeps the package the same on every
# machine.
set(CPACK_THREADS 2)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian_layout.cmake)
include(CPack)
