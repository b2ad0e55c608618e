# zarnik_require_package(PREFIX MODULE WHAT DEBIAN [OPTION option])
#
# Finds the pkg-config module MODULE as the imported target PkgConfig::PREFIX,
# seen by every folder.
# When it is missing the configure stops, naming what needs it (WHAT), the
# Debian package that brings it and, when given, the option that builds
# without it.
function(zarnik_require_package prefix module what debian)
  cmake_parse_arguments(R "" "OPTION" "" ${ARGN})
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(${prefix} QUIET IMPORTED_TARGET GLOBAL ${module})
  endif()
  if(NOT ${prefix}_FOUND)
    set(how "Install it (Debian: apt-get install ${debian}; scripts/deps.sh installs everything)")
    if(R_OPTION)
      string(APPEND how ", or configure with -D${R_OPTION}=OFF to build without it")
    endif()
    message(FATAL_ERROR "${what} needs ${module}, which pkg-config did not find.\n${how}.")
  endif()
endfunction()
