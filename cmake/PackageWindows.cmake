# The Windows packages, made by `cpack --preset windows` (`make package-windows`) in
# the build folder: the installer corvalin-<version>-win64-setup.exe (NSIS, with
# Debian's makensis) and the portable archive corvalin-<version>-win64.zip. Both hold
# what the install rules name: the user programs (cmake/UserPrograms.cmake) and the
# README. Included at the end of the top CMakeLists.txt, once every program is known.

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR ${CORVALIN_VENDOR})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware updater and configuration tool for a car-audio interface box")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CORVALIN_PACKAGE_NAME "corvalin-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_FILE_NAME ${CORVALIN_PACKAGE_NAME})
# The installer's name gets its "-setup" here, per generator.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/CPackPerGenerator.cmake)
# The NSIS commands below reach the installer script as they are written here.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_GENERATOR NSIS ZIP)
# The programs go without their debugging information.
set(CPACK_STRIP_FILES ON)

# One install folder and one uninstall entry, whatever the version.
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${PROJECT_NAME})
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY ${PROJECT_NAME})
set(CPACK_NSIS_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_NSIS_DISPLAY_NAME "${PROJECT_NAME} ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# Debian's Wine and the programs are 64-bit, so the installer is too: it then writes
# the 64-bit registry view and sees the 64-bit Program Files.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_MUI_ICON ${CORVALIN_ICON_FILE})
set(CPACK_NSIS_MUI_UNIICON ${CORVALIN_ICON_FILE})
# No licence file exists, and CPack would show its own otherwise.
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)

install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CORVALIN_INSTALL_BINDIR})

# Start menu entries of the user programs, created after the files are in place (the
# link's working folder is the output path) and removed by the uninstaller.
get_property(entries GLOBAL PROPERTY CORVALIN_START_MENU_ENTRIES)
set(create "SetOutPath \"$INSTDIR\"\n")
set(delete "")
set(start_menu_names "")
foreach(entry IN LISTS entries)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 target)
  list(APPEND start_menu_names "${name}")
  set(link "$SMPROGRAMS\\$STARTMENU_FOLDER\\${name}.lnk")
  get_target_property(window ${target} WIN32_EXECUTABLE)
  if(window)
    string(APPEND create "CreateShortCut \"${link}\" \"$INSTDIR\\${target}.exe\"\n")
  else()
    string(APPEND create "CreateShortCut \"${link}\" \"$SYSDIR\\cmd.exe\" \"/k ${target}.exe help\" "
                         "\"$INSTDIR\\${target}.exe\" 0\n")
  endif()
  if(NOT CPACK_NSIS_INSTALLED_ICON_NAME)
    # The icon of the entry in Installed apps.
    set(CPACK_NSIS_INSTALLED_ICON_NAME "${target}.exe")
  endif()
  string(APPEND delete "Delete \"$SMPROGRAMS\\$MUI_TEMP\\${name}.lnk\"\n")
endforeach()
# The uninstaller removes the install folder's key under Software\<vendor>, but would
# leave the vendor's key behind, empty.
string(APPEND delete "DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"\n")
set(CPACK_NSIS_CREATE_ICONS_EXTRA "${create}")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "${delete}")

include(CPack)

# The installer under Wine (tests/windows/installer-test.sh); `make windows` makes the
# packages before it runs the tests. The Linux programs come from CORVALIN_LINUX_BUILD.
if(CORVALIN_BUILD_TESTS AND CMAKE_CROSSCOMPILING_EMULATOR)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR -1 prefix)
  # The Linux corvalin-cli, whose parameter list the installed program must print.
  set(CORVALIN_LINUX_CLI "${CORVALIN_LINUX_BUILD}/corvalin-cli")
  add_test(NAME WindowsInstaller
    COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/installer-test.sh ${prefix}
            ${CMAKE_BINARY_DIR}/${CORVALIN_PACKAGE_NAME}-setup.exe $<TARGET_FILE:corvalin-cli>
            ${CORVALIN_LINUX_TOOLS}/corvalin-mkdemo ${CORVALIN_LINUX_CLI}
            ${CPACK_PACKAGE_INSTALL_REGISTRY_KEY} ${CPACK_PACKAGE_VENDOR} ${CPACK_PACKAGE_INSTALL_DIRECTORY}
            ${start_menu_names})
  set_tests_properties(WindowsInstaller PROPERTIES TIMEOUT 180)
endif()
