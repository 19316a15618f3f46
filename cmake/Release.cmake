# The vendor's release (preset `release`): target `release` writes the
# installer as addon-setup-<version>.exe, the packages of the components in
# ADDON_COMPONENTS and SHA256SUMS into ADDON_DIST_DIR, which it empties
# first. Included after components/, whose packages it ships.
#
# With ADDON_SIGN_CERT and ADDON_SIGN_KEY (PEM files) the installer in the
# release folder is an Authenticode-signed copy (SHA-256) of the one in the
# build tree, which stays unsigned and so reproducible. ADDON_SIGN_TIMESTAMP_URL
# adds a time stamp from that server (RFC 3161); none by default, since a
# build machine need not reach one.

if(NOT WIN32 OR NOT TARGET addon-setup)
  message(FATAL_ERROR "ADDON_RELEASE needs the 32-bit Windows build (preset release)")
endif()

set(ADDON_DIST_DIR ${CMAKE_SOURCE_DIR}/dist CACHE PATH
  "Folder the release step empties and fills with the installer, the packages and SHA256SUMS")
set(ADDON_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate (PEM) for the release's installer")
set(ADDON_SIGN_KEY "" CACHE FILEPATH "Private key (PEM) of ADDON_SIGN_CERT")
set(ADDON_SIGN_TIMESTAMP_URL "" CACHE STRING
  "RFC 3161 time-stamp server for the signature (empty: no time stamp)")

# The release step deletes the folder's content; refuse folders that hold
# the sources or the build.
cmake_path(ABSOLUTE_PATH ADDON_DIST_DIR NORMALIZE OUTPUT_VARIABLE _addon_dist)
foreach(_addon_keep ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  cmake_path(IS_PREFIX _addon_dist "${_addon_keep}" NORMALIZE _addon_holds)
  if(_addon_holds)
    message(FATAL_ERROR "ADDON_DIST_DIR (${_addon_dist}) would be emptied, but it holds ${_addon_keep}")
  endif()
endforeach()

# The packages of the listed components, in list order. The installer looks
# for exactly <base>.ppk beside itself, so the names stay as they are.
string(REGEX MATCHALL "[A-Za-z0-9]+" _addon_names "${ADDON_COMPONENTS}")
list(REMOVE_DUPLICATES _addon_names)
set(_addon_packages "")
set(_addon_package_targets "")
foreach(_addon_name ${_addon_names})
  set(_addon_package "")
  if(TARGET component_${_addon_name})
    get_target_property(_addon_package component_${_addon_name} COMPONENT_PACKAGE)
  endif()
  if(NOT _addon_package)
    message(FATAL_ERROR
      "ADDON_COMPONENTS names '${_addon_name}', but this build makes no package of that name "
      "(add_component_module(NAME ${_addon_name} ...) in components/CMakeLists.txt)")
  endif()
  list(APPEND _addon_packages ${_addon_package})
  list(APPEND _addon_package_targets component_${_addon_name}_package)
endforeach()

# What the release step needs, for cmake/make_dist.cmake.
string(CONCAT _addon_settings
  "set(DIST [[${_addon_dist}]])\n"
  "set(SETUP [[$<TARGET_FILE:addon-setup>]])\n"
  "set(SETUP_NAME [[addon-setup-${PROJECT_VERSION}.exe]])\n"
  "set(PACKAGES [[${_addon_packages}]])\n")
if(ADDON_SIGN_CERT OR ADDON_SIGN_KEY)
  if(NOT EXISTS "${ADDON_SIGN_CERT}" OR NOT EXISTS "${ADDON_SIGN_KEY}")
    message(FATAL_ERROR "Signing needs both ADDON_SIGN_CERT and ADDON_SIGN_KEY as existing files "
      "(given: '${ADDON_SIGN_CERT}', '${ADDON_SIGN_KEY}')")
  endif()
  find_program(ADDON_OSSLSIGNCODE osslsigncode REQUIRED)
  string(APPEND _addon_settings
    "set(OSSLSIGNCODE [[${ADDON_OSSLSIGNCODE}]])\n"
    "set(SIGN_CERT [[${ADDON_SIGN_CERT}]])\n"
    "set(SIGN_KEY [[${ADDON_SIGN_KEY}]])\n"
    "set(SIGN_TIMESTAMP_URL [[${ADDON_SIGN_TIMESTAMP_URL}]])\n")
  if(ADDON_SIGN_TIMESTAMP_URL)
    message(STATUS "Release: the installer is signed with ${ADDON_SIGN_CERT}, time-stamped by ${ADDON_SIGN_TIMESTAMP_URL}")
  else()
    message(STATUS "Release: the installer is signed with ${ADDON_SIGN_CERT}, without a time stamp")
  endif()
else()
  message(WARNING "Release: no ADDON_SIGN_CERT and ADDON_SIGN_KEY given; "
    "the installer in ${_addon_dist} will be UNSIGNED")
endif()
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/release_settings.cmake CONTENT "${_addon_settings}")

add_custom_target(release
  COMMAND ${CMAKE_COMMAND} -DSETTINGS=${CMAKE_BINARY_DIR}/release_settings.cmake
    -P ${CMAKE_CURRENT_LIST_DIR}/make_dist.cmake
  COMMENT "Writing the release into ${_addon_dist}"
  VERBATIM)
add_dependencies(release addon-setup ${_addon_package_targets})

unset(_addon_dist)
unset(_addon_keep)
unset(_addon_holds)
unset(_addon_names)
unset(_addon_name)
unset(_addon_package)
unset(_addon_packages)
unset(_addon_package_targets)
unset(_addon_settings)
