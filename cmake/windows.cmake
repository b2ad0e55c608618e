# The Windows configuration: the game over the Win32 backend and the test
# programs, cross-built with mingw-w64 (cmake/mingw-w64-x86_64.cmake, see
# scripts/build-windows.sh) and run under Wine. The data files, the splash
# picture and the icon are the host build's (ZARNIK_HOST_BUILD_DIR): the data
# generator is a tool of the build machine. GoogleTest is built from Debian's
# sources.
set(ZARNIK_HOST_BUILD_DIR "" CACHE PATH "The host build whose data files the Windows build takes")
set(ZARNIK_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for Windows")
if(NOT EXISTS ${ZARNIK_HOST_BUILD_DIR}/assets/splash_data.cpp OR
   NOT EXISTS ${ZARNIK_HOST_BUILD_DIR}/assets/icon_data.cpp)
  message(FATAL_ERROR "The Windows build takes the data files from a host build: configure with "
                      "-DZARNIK_HOST_BUILD_DIR=<a build folder in which zarnik_data was made> "
                      "(scripts/build-windows.sh does that).")
endif()
if(NOT EXISTS ${ZARNIK_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${ZARNIK_GTEST_SOURCE}. Install them "
                      "(Debian: apt-get install googletest; scripts/deps.sh --windows does).")
endif()

# scripts/build-windows.sh builds Release: the host build's optimisation
# (-O2), without the debug information that makes the links slow.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")

# M_PI and the other constants of <cmath>, as the C library of Linux gives
# them; no min and max macros from <windows.h>.
add_compile_definitions(_USE_MATH_DEFINES NOMINMAX)
# GCC 12 of mingw-w64 warns of out-of-bounds copies inside vector::insert of
# a short range (media/byte_reader.h), a known false alarm of that compiler;
# the host build keeps both warnings.
add_compile_options(-Wno-array-bounds -Wno-stringop-overflow)

# The installer's window on Windows is a later step; its procedure is built.
set(ZARNIK_BUILD_INSTALLER OFF CACHE BOOL "" FORCE)

set(ZARNIK_RUN_DIR ${CMAKE_BINARY_DIR}/run)
file(MAKE_DIRECTORY ${ZARNIK_RUN_DIR})

set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${ZARNIK_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()
include(${CMAKE_SOURCE_DIR}/cmake/windows_tests.cmake)

configure_file(${CMAKE_SOURCE_DIR}/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
include_directories(${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)

# The data files beside the game, copied from the host build's run folder.
set(ZARNIK_DATA_NAMES obrazky.xxx menu.xxx zvuk.xxx menu.mid hra.mid)
set(ZARNIK_DATA_FILES)
foreach(name ${ZARNIK_DATA_NAMES})
  add_custom_command(
    OUTPUT ${ZARNIK_RUN_DIR}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${ZARNIK_HOST_BUILD_DIR}/run/${name} ${ZARNIK_RUN_DIR}/${name}
    DEPENDS ${ZARNIK_HOST_BUILD_DIR}/run/${name}
    VERBATIM)
  list(APPEND ZARNIK_DATA_FILES ${ZARNIK_RUN_DIR}/${name})
endforeach()
add_custom_target(zarnik_data ALL DEPENDS ${ZARNIK_DATA_FILES})
add_library(zarnik_splash STATIC ${ZARNIK_HOST_BUILD_DIR}/assets/splash_data.cpp)
add_library(zarnik_icon STATIC ${ZARNIK_HOST_BUILD_DIR}/assets/icon_data.cpp)

# Lower layers first, as in the host build.
add_subdirectory(platform)
add_subdirectory(media)
add_subdirectory(shell)
add_subdirectory(game)
add_subdirectory(installer)
add_subdirectory(harness)
add_subdirectory(tools/xxx)
# zarnik-shot's script reader, which the front end's tests check (the tool
# itself writes PNG files through libpng, which the Windows build has not).
add_library(zarnik_shot_script STATIC tools/zarnik-shot/script.cpp)
add_subdirectory(tests)
add_subdirectory(bench/win32)

# The layers above the platform reach no backend and no font rasteriser.
include(${CMAKE_SOURCE_DIR}/cmake/layers.cmake)
zarnik_forbid_links(zarnik_platform zarnik_text zarnik_mixer zarnik_midi zarnik_media
                    zarnik_shell zarnik_game zarnik_installer_core zarnik_xxx
                    FORBIDDEN zarnik_fonts_gdi zarnik_headless zarnik_win32)
