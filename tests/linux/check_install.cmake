# cmake -DBUILD=DIR -DDEST=DIR -DAPP_ID=ID -DVALIDATE=desktop-file-validate -DAPPSTREAMCLI=appstreamcli
#       -P check_install.cmake:
# installs the build into DEST with the prefix /usr and checks what a Linux desktop
# needs from it: both programs, the desktop entry (valid, naming the icon and the
# program), the AppStream metadata (valid), the icon in each hicolor size at that size,
# the udev rule for the bridge, both manual pages compressed without a time stamp, and
# corvalin-cli's bash completion.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${DEST}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${DEST}
                        ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(root "${DEST}/usr")
set(failures "")

foreach(program corvalin corvalin-cli)
  if(NOT EXISTS "${root}/bin/${program}" OR IS_DIRECTORY "${root}/bin/${program}")
    string(APPEND failures "missing program bin/${program}\n")
  endif()
endforeach()

set(desktop "${root}/share/applications/${APP_ID}.desktop")
if(NOT EXISTS "${desktop}")
  string(APPEND failures "missing share/applications/${APP_ID}.desktop\n")
else()
  execute_process(COMMAND ${VALIDATE} ${desktop} RESULT_VARIABLE result
                  OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0 OR NOT out STREQUAL "")
    string(APPEND failures "desktop-file-validate: ${result}\n${out}")
  endif()
  file(STRINGS "${desktop}" entries)
  foreach(wanted "Icon=${APP_ID}" "Exec=corvalin")
    if(NOT wanted IN_LIST entries)
      string(APPEND failures "the desktop entry lacks ${wanted}\n")
    endif()
  endforeach()
endif()

# The software centre's page: valid without reaching the network, and naming the
# desktop entry it describes.
set(metainfo "${root}/share/metainfo/${APP_ID}.metainfo.xml")
if(NOT EXISTS "${metainfo}")
  string(APPEND failures "missing share/metainfo/${APP_ID}.metainfo.xml\n")
else()
  execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --no-color "${metainfo}" RESULT_VARIABLE result
                  OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    string(APPEND failures "appstreamcli validate: ${result}\n${out}")
  endif()
  file(READ "${metainfo}" text)
  if(NOT text MATCHES "<launchable type=\"desktop-id\">${APP_ID}.desktop</launchable>")
    string(APPEND failures "the metainfo does not launch ${APP_ID}.desktop\n")
  endif()
endif()

# A PNG starts with its 8-byte signature and the IHDR chunk, whose first fields are
# the width and the height as 32-bit big-endian numbers at offsets 16 and 20.
foreach(size 48 64 128 256)
  set(icon "${root}/share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png")
  if(NOT EXISTS "${icon}")
    string(APPEND failures "missing icon ${size}x${size}\n")
    continue()
  endif()
  file(READ "${icon}" header LIMIT 24 HEX)
  string(SUBSTRING "${header}" 0 16 signature)
  string(SUBSTRING "${header}" 24 8 chunk)
  string(SUBSTRING "${header}" 32 8 width_hex)
  string(SUBSTRING "${header}" 40 8 height_hex)
  math(EXPR width "0x${width_hex}")
  math(EXPR height "0x${height_hex}")
  if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT chunk STREQUAL "49484452"
     OR NOT width EQUAL size OR NOT height EQUAL size)
    string(APPEND failures "icon ${size}x${size} is not a ${size} px PNG (${width}x${height})\n")
  endif()
endforeach()

set(rules "${DEST}/usr/lib/udev/rules.d/70-corvalin-cp210x.rules")
if(NOT EXISTS "${rules}")
  string(APPEND failures "missing lib/udev/rules.d/70-corvalin-cp210x.rules\n")
else()
  file(STRINGS "${rules}" lines REGEX "^[^#]")
  foreach(wanted "SUBSYSTEM==\"tty\"" "ATTRS{idVendor}==\"10c4\"" "ATTRS{idProduct}==\"ea60\""
                 "TAG+=\"uaccess\"" "ENV{ID_MM_DEVICE_IGNORE}=\"1\"")
    string(FIND "${lines}" "${wanted}" at)
    if(at EQUAL -1)
      string(APPEND failures "the udev rule lacks ${wanted}\n")
    endif()
  endforeach()
endif()

# A gzip file starts with 1f 8b 08, its flags (08 when the file's name is stored) and
# the time stamp (four bytes, all 0 when none is stored).
foreach(page corvalin corvalin-cli)
  set(file "${root}/share/man/man1/${page}.1.gz")
  if(NOT EXISTS "${file}")
    string(APPEND failures "missing share/man/man1/${page}.1.gz\n")
    continue()
  endif()
  file(READ "${file}" header LIMIT 8 HEX)
  if(NOT header STREQUAL "1f8b080000000000")
    string(APPEND failures "share/man/man1/${page}.1.gz is not gzip without name and time stamp: ${header}\n")
  endif()
endforeach()

set(completion "${root}/share/bash-completion/completions/corvalin-cli")
if(NOT EXISTS "${completion}")
  string(APPEND failures "missing share/bash-completion/completions/corvalin-cli\n")
else()
  file(STRINGS "${completion}" registration REGEX "^complete ")
  if(NOT registration STREQUAL "complete -F _corvalin_cli corvalin-cli")
    string(APPEND failures "the bash completion does not register for corvalin-cli: ${registration}\n")
  endif()
endif()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${failures}")
endif()
