# add_component_module(NAME <base> RC <file.rc> [OUTPUT_DIRECTORY <dir>] [NO_PACKAGE]
#                      [EXPECT_REFUSED])
#
# Turns the resource script of a component into its component module,
# <base>.dll: a resource-only DLL for the target (no code, no entry point,
# no imports), which the installer reads as a data file for its
# records. When the package tool `ppk` is a target of this build (define it
# before calling), every module it makes is checked with `ppk inspect`
# right after it is linked: a module the installer would refuse stops the
# build with the reason, and what the installer would mend without a word
# is printed as warnings. EXPECT_REFUSED turns the check round, for test
# modules that the installer must refuse: the build stops when it would
# register one. The module is also packed into <base>.ppk beside it,
# unless NO_PACKAGE is given (modules that only tests load), and the
# module's size and CRC-32 are recorded in <base>.payload, for the payload
# table of the installers that list the component (cmake/Installer.cmake).
#
# Target: component_<base> (the module); component_<base>_package (the
# package, built by default) when ppk exists. The files land in
# OUTPUT_DIRECTORY, by default the calling directory's binary folder.
# The target properties COMPONENT_PACKAGE and COMPONENT_PAYLOAD of
# component_<base> name the package and the payload file (empty without
# ppk).

# In cross builds ppk is a Windows program that runs under Wine. Run as root,
# the Wine server it starts would keep root's power to ignore file
# permissions for the tests that later share it; drop that power as the
# test runner does.
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
  execute_process(COMMAND id -u OUTPUT_VARIABLE _addon_uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(_addon_uid STREQUAL "0")
    set(ADDON_COMPONENT_TOOL_RUNNER "${CMAKE_SOURCE_DIR}/scripts/unprivileged.sh" ${CMAKE_CROSSCOMPILING_EMULATOR})
  else()
    set(ADDON_COMPONENT_TOOL_RUNNER ${CMAKE_CROSSCOMPILING_EMULATOR})
  endif()
  unset(_addon_uid)
endif()

set(ADDON_PAYLOAD_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/payload.cmake)

function(add_component_module)
  cmake_parse_arguments(ARG "NO_PACKAGE;EXPECT_REFUSED" "NAME;RC;OUTPUT_DIRECTORY" "" ${ARGN})
  if(NOT ARG_NAME OR NOT ARG_RC)
    message(FATAL_ERROR "add_component_module: NAME and RC are required")
  endif()
  if(NOT ARG_NAME MATCHES "^[A-Za-z0-9]+$")
    message(FATAL_ERROR "add_component_module: base name '${ARG_NAME}' must be letters and digits")
  endif()
  if(NOT ARG_OUTPUT_DIRECTORY)
    set(ARG_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  set(target component_${ARG_NAME})

  # A MODULE library has no import library; the compiled script is its only
  # object. -nostdlib keeps out the start-up code and every runtime library,
  # entry 0 leaves the loader nothing to call.
  add_library(${target} MODULE ${ARG_RC})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${ARG_NAME}
    PREFIX ""
    SUFFIX ".dll"
    LINKER_LANGUAGE C
    LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY}
    COMPONENT_PACKAGE ""
    COMPONENT_PAYLOAD "")
  target_link_options(${target} PRIVATE -nostdlib -s -Wl,--entry=0 -Wl,--no-insert-timestamp)

  if(NOT TARGET ppk)
    return()
  endif()
  # File names relative to the output folder: the Windows ppk under Wine and
  # a host ppk read them alike.
  list(JOIN ADDON_COMPONENT_TOOL_RUNNER "|" runner)
  add_dependencies(${target} ppk)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DMODE=INSPECT "-DRUNNER=${runner}" -DPPK=$<TARGET_FILE:ppk>
      -DNAME=${ARG_NAME} -DDIR=${ARG_OUTPUT_DIRECTORY} -DEXPECT_REFUSED=${ARG_EXPECT_REFUSED}
      -P ${ADDON_PAYLOAD_SCRIPT}
    VERBATIM)

  if(ARG_NO_PACKAGE)
    return()
  endif()
  set(package ${ARG_OUTPUT_DIRECTORY}/${ARG_NAME}.ppk)
  set(payload ${ARG_OUTPUT_DIRECTORY}/${ARG_NAME}.payload)
  add_custom_command(
    OUTPUT ${package} ${payload}
    COMMAND ${CMAKE_COMMAND} -DMODE=PACK "-DRUNNER=${runner}" -DPPK=$<TARGET_FILE:ppk>
      -DNAME=${ARG_NAME} -DDIR=${ARG_OUTPUT_DIRECTORY} -P ${ADDON_PAYLOAD_SCRIPT}
    DEPENDS ${target} ppk ${ADDON_PAYLOAD_SCRIPT}
    COMMENT "Packing component ${ARG_NAME}"
    VERBATIM)
  add_custom_target(${target}_package ALL DEPENDS ${package} ${payload})
  set_target_properties(${target} PROPERTIES COMPONENT_PACKAGE ${package} COMPONENT_PAYLOAD ${payload})
endfunction()

# add_mingw_component_module(OUTPUT <file.dll> RC <file.rc> [TRIPLE <triple>])
#
# The module of a component's resource script made with a MinGW-w64
# toolchain, as a vendor makes one by hand (README), for what the build's
# own compiler cannot make: modules for the native tests and the fuzzer's
# seeds, or a module of the other bitness. TRIPLE: i686-w64-mingw32 (the
# default) or x86_64-w64-mingw32. The caller makes a target that depends on
# OUTPUT.
function(add_mingw_component_module)
  cmake_parse_arguments(ARG "" "OUTPUT;RC;TRIPLE" "" ${ARGN})
  if(NOT ARG_TRIPLE)
    set(ARG_TRIPLE i686-w64-mingw32)
  endif()
  string(MAKE_C_IDENTIFIER "${ARG_TRIPLE}" triple_id)
  find_program(ADDON_WINDRES_${triple_id} ${ARG_TRIPLE}-windres REQUIRED)
  find_program(ADDON_MINGW_GCC_${triple_id} ${ARG_TRIPLE}-gcc REQUIRED)
  # The compiled script lies apart, so that the output folder holds modules
  # only (a seed corpus takes every file in it).
  get_filename_component(file ${ARG_OUTPUT} NAME)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/mingw_modules/${file}.o)
  add_custom_command(OUTPUT ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/mingw_modules
    COMMAND ${ADDON_WINDRES_${triple_id}} -O coff -i ${ARG_RC} -o ${object}
    COMMAND ${ADDON_MINGW_GCC_${triple_id}} -shared -nostdlib -s -Wl,--entry=0 -Wl,--no-insert-timestamp
      -o ${ARG_OUTPUT} ${object}
    DEPENDS ${ARG_RC}
    VERBATIM)
endfunction()
