# The Windows configuration: the game, its backend and the test programs,
# cross-built with mingw-w64 (cmake/mingw-w64-x86_64.cmake) and run under
# Wine. GoogleTest is built from Debian's googletest sources.
set(ZARNIK_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for Windows")
if(NOT EXISTS ${ZARNIK_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${ZARNIK_GTEST_SOURCE} "
                      "(Debian package googletest)")
endif()

set(ZARNIK_RUN_DIR ${CMAKE_BINARY_DIR}/run)
file(MAKE_DIRECTORY ${ZARNIK_RUN_DIR})

set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${ZARNIK_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()
include_directories(${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)

# Text through GDI: the font rasteriser every program gets on Windows.
add_library(zarnik_gdi_text STATIC platform/win32/gdi_text.cpp)
target_link_libraries(zarnik_gdi_text PRIVATE gdi32)

# The platform's interfaces and our own shared code, with the Windows file
# services.
add_library(zarnik_platform STATIC
  platform/services.cpp platform/files.cpp platform/win32/files.cpp
  platform/mixer.cpp platform/midi.cpp)
target_link_libraries(zarnik_platform PUBLIC zarnik_gdi_text PRIVATE shell32)

add_subdirectory(platform/win32)
add_library(zarnik_shell STATIC shell/shortcut.cpp shell/shell_folders.cpp shell/settings_file.cpp)
target_link_libraries(zarnik_shell PUBLIC zarnik_platform)
add_subdirectory(tests/win32)
