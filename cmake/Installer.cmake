# addon_add_installer(<target>
#                     COMPONENTS <list> [DESCRIPTION <text>]
#                     [ENTRY <object library>] [WITHOUT_BANNER])
#
# Makes an installer executable: the installer's resource script compiled
# with this build's strings (string 1, the description, and string 2, the
# component list, given in UTF-8 and stored in Windows-1252), linked with
# the installer library and an entry point. ENTRY is an object library
# holding WinMain (default: addon_setup_main, the shipped one; tests hand in
# their own). WITHOUT_BANNER leaves out bitmap 100 (a start-up with no
# palette to draw with).

set(ADDON_RESOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../resources)
cmake_path(NORMAL_PATH ADDON_RESOURCE_DIR)

# A resource-script string: quotes are doubled, everything else is kept.
function(_addon_rc_string out text)
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

function(addon_add_installer target)
  # PARSE_ARGV keeps a semicolon in a list of names (escaped as \;).
  cmake_parse_arguments(PARSE_ARGV 1 ARG "WITHOUT_BANNER" "COMPONENTS;DESCRIPTION;ENTRY" "")
  string(REPLACE "\\;" ";" ARG_COMPONENTS "${ARG_COMPONENTS}")
  string(REPLACE "\\;" ";" ARG_DESCRIPTION "${ARG_DESCRIPTION}")
  if(NOT DEFINED ARG_COMPONENTS)
    message(FATAL_ERROR "addon_add_installer(${target}): COMPONENTS is required")
  endif()
  if(NOT DEFINED ARG_DESCRIPTION)
    set(ARG_DESCRIPTION "Testvariante")
  endif()
  if(NOT ARG_ENTRY)
    set(ARG_ENTRY addon_setup_main)
  endif()

  # Names are runs of letters and digits; everything else separates them.
  if(NOT ARG_COMPONENTS MATCHES "[A-Za-z0-9]")
    message(FATAL_ERROR "${target}: the component list names no component (letters and digits): '${ARG_COMPONENTS}'")
  endif()

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_strings)
  file(MAKE_DIRECTORY ${dir})
  # The program loads both strings into buffers of 400 characters with the
  # terminator.
  foreach(part DESCRIPTION COMPONENTS)
    file(WRITE ${dir}/${part}.utf8 "${ARG_${part}}")
    execute_process(COMMAND iconv -f UTF-8 -t WINDOWS-1252
      INPUT_FILE ${dir}/${part}.utf8 OUTPUT_FILE ${dir}/${part}.cp1252
      RESULT_VARIABLE failed ERROR_VARIABLE why)
    if(failed)
      message(FATAL_ERROR "${target}: the ${part} has characters that Windows-1252 cannot hold: ${why}")
    endif()
    file(SIZE ${dir}/${part}.cp1252 bytes)
    if(bytes GREATER 399)
      message(FATAL_ERROR "${target}: the ${part} is ${bytes} characters long; the installer holds at most 399")
    endif()
  endforeach()

  _addon_rc_string(description "${ARG_DESCRIPTION}")
  _addon_rc_string(components "${ARG_COMPONENTS}")
  set(version_commas "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  file(WRITE ${dir}/addon_build_strings.utf8.h
    "// Written by addon_add_installer; Windows-1252 like installer.rc.\n"
    "#pragma once\n"
    "#define ADDON_DESCRIPTION_TEXT ${description}\n"
    "#define ADDON_COMPONENTS_TEXT ${components}\n"
    "#define ADDON_VERSION_COMMAS ${version_commas}\n"
    "#define ADDON_VERSION_TEXT \"${PROJECT_VERSION}\"\n")
  execute_process(COMMAND iconv -f UTF-8 -t WINDOWS-1252
    INPUT_FILE ${dir}/addon_build_strings.utf8.h OUTPUT_FILE ${dir}/addon_build_strings.h.new)
  # Rewritten only on change, so that the resources are not rebuilt every time.
  file(COPY_FILE ${dir}/addon_build_strings.h.new ${dir}/addon_build_strings.h ONLY_IF_DIFFERENT)
  # The manifest's assembly version is the project's too; the script finds
  # the written manifest through the include path.
  set(ADDON_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  configure_file(${ADDON_RESOURCE_DIR}/installer.manifest.in ${dir}/installer.manifest @ONLY)

  add_library(${target}_resources OBJECT ${ADDON_RESOURCE_DIR}/installer.rc)
  target_include_directories(${target}_resources PRIVATE ${ADDON_RESOURCE_DIR} ${dir})
  if(ARG_WITHOUT_BANNER)
    target_compile_definitions(${target}_resources PRIVATE ADDON_WITHOUT_BANNER_BITMAP)
  endif()
  set_source_files_properties(${ADDON_RESOURCE_DIR}/installer.rc
    TARGET_DIRECTORY ${target}_resources
    PROPERTIES OBJECT_DEPENDS
      "${dir}/installer.manifest;${ADDON_RESOURCE_DIR}/help_de.txt;${ADDON_RESOURCE_DIR}/pictures/banner.bmp;${ADDON_RESOURCE_DIR}/pictures/flower.bmp;${ADDON_RESOURCE_DIR}/pictures/installer.ico;${dir}/addon_build_strings.h")

  add_executable(${target} WIN32
    $<TARGET_OBJECTS:${ARG_ENTRY}> $<TARGET_OBJECTS:${target}_resources>)
  target_link_libraries(${target} PRIVATE addon_app)
endfunction()
