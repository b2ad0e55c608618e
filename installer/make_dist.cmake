# Fills DIST_DIR with the installer's payload and nothing else:
#   hra.xxx       the game program (GAME; left out when the game is not built)
#   obrazky.xxx, menu.xxx, zvuk.xxx, menu.mid, hra.mid, napoveda.html   from RUN_DIR
#   setup.xxx     the installer program (SETUP)
#   uninstall.exe the uninstaller program (UNINSTALL)
file(REMOVE_RECURSE ${DIST_DIR})
file(MAKE_DIRECTORY ${DIST_DIR})

function(dist_copy from to)
  if(from STREQUAL "" OR NOT EXISTS ${from})
    message(WARNING "dist: ${to} is missing (no ${from})")
    return()
  endif()
  file(COPY_FILE ${from} ${DIST_DIR}/${to})
endfunction()

dist_copy("${GAME}" hra.xxx)
foreach(f obrazky.xxx menu.xxx zvuk.xxx menu.mid hra.mid napoveda.html)
  dist_copy(${RUN_DIR}/${f} ${f})
endforeach()
dist_copy("${SETUP}" setup.xxx)
dist_copy("${UNINSTALL}" uninstall.exe)
