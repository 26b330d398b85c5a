# The programs a user gets, as opposed to tests and tools:
#
#   corvalin_user_program(TARGET DESCRIPTION TEXT [START_MENU NAME])
#
# installs TARGET (at the top of the install folder on Windows, in bin elsewhere) and,
# on Windows, gives it the application icon (resource 128) and version information
# with TEXT as its description. With START_MENU the Windows installer adds a Start menu
# entry NAME: for a window program a link to it, for a console program a command
# prompt in the install folder that starts with the program's help. A program with a
# resource script of its own leaves the icon (128) and the version information to this
# function, or the two would clash at link time.

set(CORVALIN_VENDOR "Corvalin")
# The reverse-DNS id of the window program on Linux: the name of its desktop entry and
# its icon, and the desktop file name the window reports to the compositor.
set(CORVALIN_APP_ID "io.github.corvalin.Corvalin")
set(CORVALIN_HOMEPAGE "https://github.com/corvalin/corvalin")
if(WIN32)
  set(CORVALIN_INSTALL_BINDIR .)
else()
  include(GNUInstallDirs)
  set(CORVALIN_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
endif()

if(WIN32)
  enable_language(RC)
  set(CORVALIN_ICON_FILE ${CMAKE_BINARY_DIR}/generated/corvalin.ico)
  add_custom_command(OUTPUT ${CORVALIN_ICON_FILE}
    COMMAND ${CMAKE_SOURCE_DIR}/tools/png-to-ico.sh ${CMAKE_SOURCE_DIR}/res/corvalin.png ${CORVALIN_ICON_FILE}
    DEPENDS ${CMAKE_SOURCE_DIR}/res/corvalin.png ${CMAKE_SOURCE_DIR}/tools/png-to-ico.sh
    COMMENT "Making the icon from res/corvalin.png")
  add_custom_target(corvalin_icon DEPENDS ${CORVALIN_ICON_FILE})

  # VERSIONINFO wants four numbers; the project's version has two.
  set(CORVALIN_VERSION_COMMAS ${PROJECT_VERSION_MAJOR})
  foreach(part MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
      string(APPEND CORVALIN_VERSION_COMMAS ",0")
    else()
      string(APPEND CORVALIN_VERSION_COMMAS ",${PROJECT_VERSION_${part}}")
    endif()
  endforeach()
endif()

function(corvalin_user_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION;START_MENU" "")
  if(NOT arg_DESCRIPTION)
    message(FATAL_ERROR "corvalin_user_program(${target}) needs a DESCRIPTION")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CORVALIN_INSTALL_BINDIR})
  if(NOT WIN32)
    return()
  endif()

  set(CORVALIN_PROGRAM_NAME ${target})
  set(CORVALIN_PROGRAM_FILE ${target}.exe)
  set(CORVALIN_PROGRAM_DESCRIPTION "${arg_DESCRIPTION}")
  set(rc ${CMAKE_BINARY_DIR}/generated/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/res/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  # The resource compiler does not report the icon as an input, so it is named here.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${CORVALIN_ICON_FILE})
  add_dependencies(${target} corvalin_icon)

  if(arg_START_MENU)
    set_property(GLOBAL APPEND PROPERTY CORVALIN_START_MENU_ENTRIES "${arg_START_MENU}|${target}")
  endif()
endfunction()

# corvalin_man_page(NAME) (not on Windows): the manual page res/linux/man/NAME.1.in
# with the version and the release date filled in, compressed at build time without
# name or time stamp (as Debian installs manual pages, and so that the file does not
# change from one build to the next), and installed to man1. The compressed pages are
# listed in the global property CORVALIN_MAN_PAGES for the tests.
function(corvalin_man_page name)
  find_program(CORVALIN_GZIP gzip REQUIRED)
  set(page ${CMAKE_BINARY_DIR}/generated/man/${name}.1)
  configure_file(${CMAKE_SOURCE_DIR}/res/linux/man/${name}.1.in ${page} @ONLY)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CORVALIN_GZIP} -9nkf ${page}
    DEPENDS ${page}
    COMMENT "Compressing the manual page ${name}.1")
  add_custom_target(${name}_man_page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set_property(GLOBAL APPEND PROPERTY CORVALIN_MAN_PAGES ${page}.gz)
endfunction()
