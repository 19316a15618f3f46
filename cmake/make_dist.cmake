# The release step of target `release` (cmake/Release.cmake):
#   cmake -DSETTINGS=<build>/release_settings.cmake -P make_dist.cmake
#
# Empties DIST, puts the installer SETUP there as SETUP_NAME (a signed copy
# when SIGN_CERT is set), the PACKAGES under their own names, and SHA256SUMS
# over all of them, in the format `sha256sum -c` reads.
cmake_minimum_required(VERSION 3.25)
include(${SETTINGS})

# Emptied, not merged: a file of an earlier release must not ship again.
file(REMOVE_RECURSE ${DIST})
file(MAKE_DIRECTORY ${DIST})

set(setup_out ${DIST}/${SETUP_NAME})
if(SIGN_CERT)
  set(command ${OSSLSIGNCODE} sign -certs ${SIGN_CERT} -key ${SIGN_KEY} -h sha256
    -n "Verdanelle Zusatzkomponenten")
  # The signing time is the one date in the release; a reproducible build
  # states it, otherwise it is now.
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    list(APPEND command -time $ENV{SOURCE_DATE_EPOCH})
  endif()
  if(SIGN_TIMESTAMP_URL)
    list(APPEND command -ts ${SIGN_TIMESTAMP_URL})
  endif()
  # Written aside and renamed, so a failed signing leaves no installer that
  # looks finished.
  execute_process(COMMAND ${command} -in ${SETUP} -out ${setup_out}.signing
    RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(failed)
    file(REMOVE ${setup_out}.signing)
    message(FATAL_ERROR "release: signing ${SETUP} failed:\n${out}")
  endif()
  file(RENAME ${setup_out}.signing ${setup_out})
  message(STATUS "release: ${SETUP_NAME} signed with ${SIGN_CERT}")
else()
  file(COPY_FILE ${SETUP} ${setup_out})
  message(STATUS "release: ${SETUP_NAME} is UNSIGNED (configure with -DADDON_SIGN_CERT=... -DADDON_SIGN_KEY=... to sign it)")
endif()

foreach(package ${PACKAGES})
  cmake_path(GET package FILENAME name)
  file(COPY_FILE ${package} ${DIST}/${name})
endforeach()

file(GLOB names RELATIVE ${DIST} ${DIST}/*)
list(SORT names)
set(sums "")
foreach(name ${names})
  file(SHA256 ${DIST}/${name} sum)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE ${DIST}/SHA256SUMS "${sums}")
list(JOIN names ", " listed)
message(STATUS "release: ${DIST}: ${listed}, SHA256SUMS")
