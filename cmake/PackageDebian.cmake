# The Debian package corvalin_<version>_<arch>.deb, made by `cpack --preset package`
# (`make package`) in build/package, and the documents every Linux install carries in
# share/doc/corvalin: the copyright file in Debian's machine-readable form (from
# LICENSE), the changelog in Debian's format (from CHANGELOG.md), the README.
# Included at the end of the top CMakeLists.txt, once every install rule is known.

set(CORVALIN_PACKAGE_MAINTAINER "The Corvalin developers <corvalin@users.noreply.github.com>" CACHE STRING
    "The Maintainer field of the Debian package and the signature of its changelog")
set(CORVALIN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/corvalin)
set(generated ${CMAKE_BINARY_DIR}/generated/doc)
file(MAKE_DIRECTORY ${generated})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/CHANGELOG.md)

# copyright: the LICENSE's copyright line and its permission text as an Expat licence,
# each line indented by one blank and an empty line written " .".
file(READ ${CMAKE_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(Permission is hereby granted.*)$")
  message(FATAL_ERROR "LICENSE: expected a \"Copyright (c)\" line followed by the Expat permission text")
endif()
set(copyright_holder "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" licence_text)
string(REGEX REPLACE "\n\n" "\n.\n" licence_text "${licence_text}")
string(REGEX REPLACE "\n" "\n " licence_text "${licence_text}")
file(WRITE ${generated}/copyright
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: ${PROJECT_NAME}\n"
  "Source: ${CORVALIN_HOMEPAGE}\n\n"
  "Files: *\n"
  "Copyright: ${copyright_holder}\n"
  "License: Expat\n"
  " ${licence_text}\n")

# changelog.gz: the newest release of CHANGELOG.md in Debian's format, compressed
# without a time stamp so that the package is the same at every build.
set(entries "")
foreach(change IN LISTS CORVALIN_RELEASE_CHANGES)
  corvalin_wrap_text(entry "${change}" 80 "  * " "    ")
  string(APPEND entries "${entry}")
endforeach()
execute_process(COMMAND date -u -R -d "${CORVALIN_RELEASE_DATE} 00:00 UTC"
                OUTPUT_VARIABLE release_time OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(WRITE ${generated}/changelog
  "corvalin (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
  "${entries}\n"
  " -- ${CORVALIN_PACKAGE_MAINTAINER}  ${release_time}\n")
execute_process(COMMAND gzip -9nf ${generated}/changelog COMMAND_ERROR_IS_FATAL ANY)

install(FILES ${generated}/copyright ${generated}/changelog.gz ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CORVALIN_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvalin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${CORVALIN_VENDOR})
set(CPACK_PACKAGE_CONTACT ${CORVALIN_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CORVALIN_HOMEPAGE})
# The libraries the programs link are found by dpkg-shlibdeps; Qt loads its window
# system plugins at run time, so those are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# What a software centre and `apt show` print: the summary, then the description
# (CPack puts the summary first itself).
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for a car-audio interface box")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Corvalin is the tool with which a car-audio installer updates the firmware of
an interface box and sets its options. The box hangs off a Silicon Labs CP210x
USB-to-UART bridge.
.
It opens update bundles (ZIP archives) and bare firmware images, lists a
bundle's products, shows and edits the configuration parameters inside the
image, imports IR remote codes from Pronto CCF files, stores the image and
sends it to the box's boot loader block by block.
.
The package holds the window program corvalin, the command line program
corvalin-cli for scripts, and a udev rule that gives the bridge's serial port
to the user logged in at the desktop.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/res/linux/debian/postinst ${CMAKE_SOURCE_DIR}/res/linux/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
include(CPack)

# The package preset checks the package it made (`make test-package`): lintian, its
# control fields and maintainer scripts, and the programs run from the unpacked tree.
if(CORVALIN_TEST_PACKAGE)
  enable_testing()
  add_test(NAME DebianPackage
    COMMAND ${CMAKE_SOURCE_DIR}/tests/linux/package-test.sh
            ${CMAKE_BINARY_DIR}/corvalin_${PROJECT_VERSION}_${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}.deb
            ${PROJECT_VERSION} $<TARGET_FILE:corvalin-cli> $<TARGET_FILE:corvalin-mkdemo>)
  set_tests_properties(DebianPackage PROPERTIES TIMEOUT 300)
endif()
