# The browser configuration: the game over the browser's backend, built with
# Debian's Emscripten (scripts/build-web.sh runs emcmake). Nothing is
# downloaded: the backend is our own over emscripten/html5.h, and the system
# libraries are the package's prebuilt ones. The splash picture comes from a
# host build (ZARNIK_HOST_BUILD_DIR), like the data files, which the site
# takes from there.
set(ZARNIK_HOST_BUILD_DIR "" CACHE PATH "The host build whose data files the browser build takes")
if(NOT EXISTS ${ZARNIK_HOST_BUILD_DIR}/assets/splash_data.cpp)
  message(FATAL_ERROR "The browser build takes the splash picture from a host build: configure "
                      "with -DZARNIK_HOST_BUILD_DIR=<a build folder in which zarnik_data was "
                      "made> (scripts/build-web.sh does that).")
endif()

# Release is the host build's optimisation (-O2) without debug information.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
# The game reports failures by exceptions (Emscripten's own kind: the wasm
# kind would need system libraries the package does not ship).
add_compile_options(-fexceptions)
add_link_options(-fexceptions)

set(ZARNIK_BUILD_GAME OFF CACHE BOOL "" FORCE)
set(ZARNIK_BUILD_INSTALLER OFF CACHE BOOL "" FORCE)

configure_file(${CMAKE_SOURCE_DIR}/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
include_directories(${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
add_library(zarnik_splash STATIC ${ZARNIK_HOST_BUILD_DIR}/assets/splash_data.cpp)

# How the program meets the page: its JavaScript loads the WebAssembly module
# beside it; memory grows as the pictures load; the page's script reaches
# the file system; the calls the page makes into the program are kept.
set(ZARNIK_WEB_LINK_OPTIONS
    -sENVIRONMENT=web -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864 -sFORCE_FILESYSTEM=1
    "-sEXPORTED_FUNCTIONS=_main")

add_subdirectory(platform)
add_subdirectory(media)
add_subdirectory(shell)
add_subdirectory(game)
# The page's test build: the same program with hooks for the tests.
add_library(zarnik_world_digest STATIC harness/world_digest.cpp)
target_link_libraries(zarnik_world_digest PUBLIC zarnik_game)
add_subdirectory(tests/web)
