# Run by CPack on the staged installation before it makes the Debian package
# of it: Debian keeps the commands of games in /usr/games (its policy for the
# section "games"), so the installation's bin/ becomes games/. The commands
# find the rest of the installation relative to their own folder, and games/
# is as deep under the prefix as bin/, so they and the link to the
# uninstaller work unchanged; that is checked here.
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
if(NOT IS_DIRECTORY ${root}/bin)
  message(FATAL_ERROR "The staged installation ${root} has no bin/")
endif()
if(EXISTS ${root}/games)
  message(FATAL_ERROR "The staged installation ${root} already has a games/")
endif()
file(RENAME ${root}/bin ${root}/games)
file(GLOB commands LIST_DIRECTORIES false ${root}/games/*)
foreach(command IN LISTS commands)
  if(IS_SYMLINK ${command})
    file(REAL_PATH ${command} target)
    cmake_path(IS_PREFIX root ${target} NORMALIZE inside)
    if(NOT inside OR NOT EXISTS ${target})
      message(FATAL_ERROR "${command} leads to ${target}, not into the installation")
    endif()
  endif()
endforeach()
