# Checks what every source file of the tree includes against the layers of
# docs/architecture.md, and writes the include graph between the folders.
#
#   cmake -DSOURCE_DIR=<tree> [-DGRAPH=<file.dot>] -P cmake/check_includes.cmake
#
# Each folder below is a node (a program's entry may be one of its own); a
# node may include its own headers and those of the nodes it names, which all
# come before it in the list, so the graph can hold no arrow that runs back
# up and no circle. An entry may also name one header of a node instead of
# the whole node. The nodes above the
# platform's interfaces must not include a header of SDL, FluidSynth, X11,
# FreeType, fontconfig, Qt, windows.h or Emscripten either.
#
# The configure runs it (stopping on a fault), and CTest runs it again as
# the test include_layers, so an include added since the configure is caught.
cmake_minimum_required(VERSION 3.25)

# node | what it may include besides itself
set(rules
    "platform|"
    "platform/posix|platform"
    "platform/winapi|platform"
    "platform/freetype|platform"
    "platform/gdi|platform platform/winapi"
    "platform/win32|platform platform/winapi"
    "platform/headless|platform"
    "platform/sdl|platform"
    "platform/web|platform"
    "assets|"
    "media|platform"
    "shell|platform"
    "game|platform media shell assets"
    "installer/core|platform shell assets game/game_files.h"
    "installer|platform shell assets installer/core"
    "installer/win32|platform platform/winapi platform/win32 shell assets installer/core"
    "harness|platform platform/headless platform/winapi platform/win32 media shell assets game"
    "tools|platform platform/headless platform/freetype platform/web media shell assets game harness"
    "fuzz|platform platform/headless media shell assets game installer/core harness"
    "bench|platform platform/headless platform/sdl platform/win32 media shell assets game installer/core harness tools"
    "tests|platform platform/posix platform/winapi platform/freetype platform/gdi platform/win32 platform/headless platform/sdl platform/web assets media shell game installer/core installer installer/win32 harness tools")

# Nodes whose code sits above the platform's interfaces: no system toolkit.
set(plain_nodes platform assets media shell game installer/core)
set(toolkit_header "^(SDL|fluidsynth|X11/|ft2build|freetype|fontconfig/|Q[A-Z]|Qt|windows\\.h|emscripten)")

set(nodes)
foreach(rule ${rules})
  string(REPLACE "|" ";" parts "${rule}")
  list(GET parts 0 node)
  list(LENGTH parts n)
  set(allowed "")
  if(n GREATER 1)
    list(GET parts 1 allowed)
    string(REPLACE " " ";" allowed "${allowed}")
  endif()
  foreach(a ${allowed})
    string(REGEX REPLACE "/[^/]*\\.h$" "" a_node "${a}")
    if(NOT a_node IN_LIST nodes)
      message(FATAL_ERROR "check_includes: ${node} may include ${a}, which is not listed before it")
    endif()
  endforeach()
  list(APPEND nodes ${node})
  set(allowed_${node} ${allowed})
endforeach()

# The node of a path: the path itself where it is a node, else the longest
# node that is a folder prefix of it.
function(node_of path out)
  if(path IN_LIST nodes)
    set(${out} "${path}" PARENT_SCOPE)
    return()
  endif()
  set(best "")
  foreach(node ${nodes})
    string(LENGTH "${node}" len)
    string(SUBSTRING "${path}" 0 ${len} head)
    string(LENGTH "${path}" plen)
    if(head STREQUAL node AND plen GREATER len)
      string(SUBSTRING "${path}" ${len} 1 sep)
      string(LENGTH "${best}" blen)
      if(sep STREQUAL "/" AND len GREATER blen)
        set(best ${node})
      endif()
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(files)
foreach(top platform assets media shell game installer harness tools fuzz bench tests)
  file(GLOB_RECURSE found RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${top}/*.h ${SOURCE_DIR}/${top}/*.cpp)
  list(APPEND files ${found})
endforeach()

set(faults)
set(edges)
foreach(file ${files})
  node_of(${file} from)
  if(from STREQUAL "")
    list(APPEND faults "${file}: in no folder of the layers")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${lines})
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(header ${CMAKE_MATCH_1})
      if(NOT EXISTS ${SOURCE_DIR}/${header})
        continue()  # beside the file, or generated into the build
      endif()
      node_of(${header} to)
      if(to STREQUAL from)
        continue()
      endif()
      if(NOT to IN_LIST allowed_${from} AND NOT header IN_LIST allowed_${from})
        list(APPEND faults "${file}: ${from}/ may not include ${header}")
      endif()
      list(APPEND edges "\"${from}\" -> \"${to}\"")
    elseif(from IN_LIST plain_nodes AND line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
      if(CMAKE_MATCH_1 MATCHES "${toolkit_header}")
        list(APPEND faults "${file}: ${from}/ may not include <${CMAKE_MATCH_1}>")
      endif()
    endif()
  endforeach()
endforeach()

if(GRAPH)
  list(REMOVE_DUPLICATES edges)
  list(SORT edges)
  list(JOIN edges ";\n  " body)
  file(WRITE ${GRAPH} "// What includes what between the folders (cmake/check_includes.cmake).\n"
                      "digraph includes {\n  rankdir=BT;\n  ${body};\n}\n")
endif()

list(LENGTH files count)
if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Includes that break the layers (docs/architecture.md):\n  ${text}")
endif()
message(STATUS "Includes: ${count} files keep to the layers")
