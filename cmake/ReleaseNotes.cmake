# The newest release of CHANGELOG.md, for the files that carry release notes:
#
#   CORVALIN_RELEASE_DATE     its date, YYYY-MM-DD (also the manual pages' date)
#   CORVALIN_RELEASE_CHANGES  its change lines without the "- ", as a list
#
# and corvalin_wrap_text(OUT TEXT WIDTH FIRST REST), which breaks TEXT into lines of at
# most WIDTH columns, the first starting with FIRST and the others with REST.
# Configuring stops when the newest release is not PROJECT_VERSION, so a version bump
# without its notes is caught at once.

# CMake lists are separated by semicolons, so the notes may not hold one.
file(READ ${CMAKE_SOURCE_DIR}/CHANGELOG.md corvalin_changelog)
if(corvalin_changelog MATCHES ";")
  message(FATAL_ERROR "CHANGELOG.md: write the notes without semicolons")
endif()
string(REPLACE "\n" ";" corvalin_changelog_lines "${corvalin_changelog}")
set(CORVALIN_RELEASE_DATE "")
set(CORVALIN_RELEASE_CHANGES "")
set(corvalin_release_version "")
foreach(line IN LISTS corvalin_changelog_lines)
  if(line MATCHES "^## ([0-9][0-9.]*) \\(([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])\\)$")
    if(NOT corvalin_release_version STREQUAL "")
      break()
    endif()
    set(corvalin_release_version ${CMAKE_MATCH_1})
    set(CORVALIN_RELEASE_DATE ${CMAKE_MATCH_2})
  elseif(NOT corvalin_release_version STREQUAL "" AND line MATCHES "^- (.+)$")
    list(APPEND CORVALIN_RELEASE_CHANGES "${CMAKE_MATCH_1}")
  endif()
endforeach()
if(NOT corvalin_release_version STREQUAL PROJECT_VERSION OR CORVALIN_RELEASE_CHANGES STREQUAL "")
  message(FATAL_ERROR "CHANGELOG.md: the newest release must be \"## ${PROJECT_VERSION} (YYYY-MM-DD)\" "
                      "followed by its changes, one \"- \" line each (found \"${corvalin_release_version}\")")
endif()

function(corvalin_wrap_text out text width first rest)
  string(REGEX REPLACE "[ \t\n]+" ";" words "${text}")
  set(result "")
  set(line "${first}")
  set(line_has_word FALSE)
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(line_has_word AND length GREATER width)
      string(APPEND result "${line}\n")
      set(line "${rest}${word}")
    elseif(line_has_word)
      string(APPEND line " ${word}")
    else()
      string(APPEND line "${word}")
    endif()
    set(line_has_word TRUE)
  endforeach()
  string(APPEND result "${line}\n")
  set(${out} "${result}" PARENT_SCOPE)
endfunction()
