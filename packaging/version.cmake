# The version of the game and of everything a release holds is the latest
# entry of the release notes (packaging/changelog, in the Debian changelog
# format): the top-level project() takes it from here, and so do the menu's
# version line, the package metadata, the AppStream releases and the names
# of the release's files. Run as a script (cmake -P) it prints the version;
# with -DWHAT=date the latest entry's date as its trailer line gives it (the
# release's timestamp: scripts/release.sh), with -DWHAT=releases the AppStream
# releases.
#
# Sets ZARNIK_VERSION, ZARNIK_RELEASE_DAY (YYYY-MM-DD), ZARNIK_RELEASE_DATE
# (as the trailer line gives it) and ZARNIK_CHANGELOG, and
# defines zarnik_changelog_entries(out), which lists every entry as
# "version|YYYY-MM-DD|trailer date|item 1|item 2|..." (newest first; the
# separators are ASCII 31 where "|" stands here, and each ';' of an item is
# ASCII 30), and
# zarnik_appstream_releases(out), the same as AppStream metadata.
# As a script it may be given other release notes (-DZARNIK_CHANGELOG=...),
# which its test does.
if(NOT CMAKE_SCRIPT_MODE_FILE OR NOT ZARNIK_CHANGELOG)
  set(ZARNIK_CHANGELOG ${CMAKE_CURRENT_LIST_DIR}/changelog)
endif()
string(ASCII 30 _zarnik_semicolon)
string(ASCII 31 _zarnik_field)

# The calendar date YYYY-MM-DD of a trailer's "Tue, 08 Dec 2026 12:00:00 +0000",
# in the entry's own time zone.
function(zarnik_changelog_date text out)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  if(NOT text MATCHES
     "^[A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) [0-9][0-9]:[0-9][0-9]:[0-9][0-9] [+-][0-9][0-9][0-9][0-9]$")
    message(FATAL_ERROR "${ZARNIK_CHANGELOG}: the date \"${text}\" is not of the form "
                        "\"Tue, 08 Dec 2026 12:00:00 +0000\"")
  endif()
  set(day ${CMAKE_MATCH_1})
  set(year ${CMAKE_MATCH_3})
  list(FIND months ${CMAKE_MATCH_2} month)
  if(month LESS 0)
    message(FATAL_ERROR "${ZARNIK_CHANGELOG}: no month is called \"${CMAKE_MATCH_2}\"")
  endif()
  math(EXPR month "${month} + 1")
  if(month LESS 10)
    set(month 0${month})
  endif()
  if(day MATCHES "^[0-9]$")
    set(day 0${day})
  endif()
  set(${out} ${year}-${month}-${day} PARENT_SCOPE)
endfunction()

# Reads the release notes into entries (see above). Every entry needs its
# heading, at least one item and its trailer line with the date; anything
# else stops the configure, naming the line.
function(zarnik_changelog_entries out)
  file(STRINGS ${ZARNIK_CHANGELOG} lines ENCODING UTF-8)
  set(entries)
  set(current)
  set(item)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    # A list element may hold no ';': it is kept as a record separator
    # (ASCII 30) and the fields are joined with a unit separator (ASCII 31).
    string(REPLACE ";" "${_zarnik_semicolon}" line "${line}")
    if(line MATCHES "^zarnik \\(([^)]+)\\) [a-z-]+${_zarnik_semicolon} urgency=[a-z]+$")
      if(current)
        message(FATAL_ERROR "${ZARNIK_CHANGELOG}:${number}: a new entry before the last one's trailer line")
      endif()
      set(current "${CMAKE_MATCH_1}")
      if(NOT current MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
        message(FATAL_ERROR "${ZARNIK_CHANGELOG}:${number}: the version \"${current}\" is not three numbers, as 1.2.3")
      endif()
      set(items)
    elseif(line MATCHES "^  \\* (.+)$")
      if(item)
        list(APPEND items "${item}")
      endif()
      set(item "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^    (.+)$" AND item)
      string(APPEND item " ${CMAKE_MATCH_1}")
    elseif(line MATCHES "^ -- .+ <[^>]+>  (.+)$" AND current)
      if(item)
        list(APPEND items "${item}")
        set(item)
      endif()
      if(NOT items)
        message(FATAL_ERROR "${ZARNIK_CHANGELOG}:${number}: the entry for ${current} says nothing")
      endif()
      set(stamp "${CMAKE_MATCH_1}")
      zarnik_changelog_date("${stamp}" date)
      list(JOIN items "${_zarnik_field}" text)
      list(APPEND entries
           "${current}${_zarnik_field}${date}${_zarnik_field}${stamp}${_zarnik_field}${text}")
      set(current)
    elseif(NOT line STREQUAL "")
      string(REPLACE "${_zarnik_semicolon}" ";" line "${line}")
      message(FATAL_ERROR "${ZARNIK_CHANGELOG}:${number}: not a line of a changelog entry: \"${line}\"")
    endif()
  endforeach()
  if(current OR NOT entries)
    message(FATAL_ERROR "${ZARNIK_CHANGELOG}: the last entry has no trailer line")
  endif()
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

# The AppStream <releases> element of every entry, newest first, each item
# of an entry a list item of its description; indented to sit inside
# <component>.
function(zarnik_appstream_releases out)
  zarnik_changelog_entries(entries)
  set(xml "  <releases>\n")
  foreach(entry IN LISTS entries)
    string(REPLACE "${_zarnik_field}" ";" fields "${entry}")
    list(POP_FRONT fields version date stamp)
    string(APPEND xml "    <release version=\"${version}\" date=\"${date}\">\n"
                      "      <description>\n        <ul>\n")
    foreach(item IN LISTS fields)
      # Escaped one by one: an entity's ';' would split the list.
      string(REPLACE "&" "&amp;" item "${item}")
      string(REPLACE "<" "&lt;" item "${item}")
      string(REPLACE ">" "&gt;" item "${item}")
      string(REPLACE "${_zarnik_semicolon}" ";" item "${item}")
      string(APPEND xml "          <li>${item}</li>\n")
    endforeach()
    string(APPEND xml "        </ul>\n      </description>\n    </release>\n")
  endforeach()
  string(APPEND xml "  </releases>")
  set(${out} "${xml}" PARENT_SCOPE)
endfunction()

zarnik_changelog_entries(_zarnik_entries)
list(GET _zarnik_entries 0 _zarnik_latest)
string(REPLACE "${_zarnik_field}" ";" _zarnik_latest "${_zarnik_latest}")
list(GET _zarnik_latest 0 ZARNIK_VERSION)
list(GET _zarnik_latest 1 ZARNIK_RELEASE_DAY)
list(GET _zarnik_latest 2 ZARNIK_RELEASE_DATE)
if(NOT CMAKE_SCRIPT_MODE_FILE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZARNIK_CHANGELOG})
endif()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(WHAT STREQUAL "date")
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo ${ZARNIK_RELEASE_DATE})
  elseif(WHAT STREQUAL "releases")
    zarnik_appstream_releases(xml)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${xml}")
  else()
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo ${ZARNIK_VERSION})
  endif()
endif()
