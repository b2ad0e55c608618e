# The layers of docs/architecture.md, checked when the build is configured.
#
# zarnik_forbid_links(TARGET... FORBIDDEN forbidden...)
#
# Stops the configure when a TARGET reaches one of the FORBIDDEN targets
# through its link libraries, directly or through the libraries it links:
# the layers above the platform must not pull in a backend or the libraries
# of others behind one.
function(_zarnik_link_closure target out)
  set(seen ${${out}})
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(libs ${target} ${property})
    if(NOT libs)
      continue()
    endif()
    foreach(lib ${libs})
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" lib "${lib}")
      if(NOT TARGET ${lib} OR lib IN_LIST seen)
        continue()
      endif()
      get_target_property(aliased ${lib} ALIASED_TARGET)
      if(aliased)
        list(APPEND seen ${lib})
        set(lib ${aliased})
      endif()
      list(APPEND seen ${lib})
      _zarnik_link_closure(${lib} seen)
    endforeach()
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(zarnik_forbid_links)
  cmake_parse_arguments(F "" "" "FORBIDDEN" ${ARGN})
  foreach(target ${F_UNPARSED_ARGUMENTS})
    if(NOT TARGET ${target})
      continue()  # not part of this system's build
    endif()
    set(closure "")
    _zarnik_link_closure(${target} closure)
    foreach(forbidden ${F_FORBIDDEN})
      if(forbidden IN_LIST closure)
        message(FATAL_ERROR "${target} links ${forbidden}: code above the platform links no "
                            "backend, font library or toolkit (docs/architecture.md)")
      endif()
    endforeach()
  endforeach()
endfunction()

# zarnik_check_includes()
#
# Stops the configure when a source file includes across the layers
# (cmake/check_includes.cmake says what may include what), and writes the
# include graph between the folders to include-graph.dot in the build folder.
function(zarnik_check_includes)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
            -DGRAPH=${CMAKE_BINARY_DIR}/include-graph.dot
            -P ${CMAKE_SOURCE_DIR}/cmake/check_includes.cmake
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${output}")
  endif()
endfunction()
