# Read by cpack once for each generator: the installer is named *-setup.exe, the
# archive keeps the plain package name.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
