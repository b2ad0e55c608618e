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

add_subdirectory(tests/win32)
