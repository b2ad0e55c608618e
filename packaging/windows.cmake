# The portable Windows package a player may take instead of the installer's:
# build-win/portable/zarnik-portable/ holds zarnik.exe with the data files
# beside it, as the game reads them from the folder it is started in, and
# the licence and a short Czech readme (LICENSE.txt, CTIMNE.txt, written by
# windows_texts.cmake, which the installer's package takes too); and
# build-win/zarnik-windows-portable.zip of that folder. Unpacked anywhere
# the player may write, it plays: the score table and the game's shortcut
# go beside the game, the settings where the game keeps them.
# scripts/release.sh zips the same folder into the release's
# zarnik-<version>-windows-portable.zip.
set(ZARNIK_PORTABLE_DIR ${CMAKE_BINARY_DIR}/portable/zarnik-portable)
set(ZARNIK_WINDOWS_TEXTS
    -DLICENSE=${CMAKE_SOURCE_DIR}/LICENSE -DCOPYRIGHT=${CMAKE_SOURCE_DIR}/packaging/copyright
    -DZARNIK_VERSION=${ZARNIK_VERSION} -P ${CMAKE_SOURCE_DIR}/packaging/windows_texts.cmake)
set(portable_copies)
foreach(name ${ZARNIK_DATA_NAMES})
  list(APPEND portable_copies COMMAND ${CMAKE_COMMAND} -E copy ${ZARNIK_RUN_DIR}/${name}
       ${ZARNIK_PORTABLE_DIR}/${name})
endforeach()
add_custom_target(portable_zip ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ZARNIK_PORTABLE_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZARNIK_PORTABLE_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:zarnik> ${ZARNIK_PORTABLE_DIR}/zarnik.exe
  ${portable_copies}
  COMMAND ${CMAKE_COMMAND} -DOUT=${ZARNIK_PORTABLE_DIR}
          -DREADME=${CMAKE_SOURCE_DIR}/packaging/windows/CTIMNE-portable.txt ${ZARNIK_WINDOWS_TEXTS}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${CMAKE_BINARY_DIR}/zarnik-windows-portable.zip
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/portable
          ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/zarnik-windows-portable.zip --format=zip
          zarnik-portable
  COMMENT "Making the portable Windows package ${CMAKE_BINARY_DIR}/zarnik-windows-portable.zip"
  VERBATIM)
add_dependencies(portable_zip zarnik zarnik_data)
