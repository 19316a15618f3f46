# addon_add_installer(<target>
#                     COMPONENTS <list> [DESCRIPTION <text>]
#                     [ENTRY <object library>] [WITHOUT_BANNER]
#                     [NO_PAYLOAD_TABLE])
#
# Makes an installer executable: the installer's resource script compiled
# with this build's strings (string 1, the description, and string 2, the
# component list, given in UTF-8 and stored in Windows-1252), linked with
# the installer library and an entry point. ENTRY is an object library
# holding WinMain (default: addon_setup_main, the shipped one; tests hand in
# their own). WITHOUT_BANNER leaves out bitmap 100 (a start-up with no
# palette to draw with).
#
# The installer carries the size and CRC-32 of every listed component whose
# module this build makes (add_component_module, called before), and refuses
# a package that decodes to other bytes; NO_PAYLOAD_TABLE leaves the table
# out, for packages made elsewhere under the same names. Names that agree in
# their first 20 characters (ignoring case, as the registry does) would share
# their entry records, so such a list is refused; so is a list with a device
# name in any case (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9), whose package
# and module the file system would take for the device. KEEP_DEVICE_NAMES
# builds such a list all the same, for the tests of the installer's own
# guard against them.

set(ADDON_RESOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../resources)
cmake_path(NORMAL_PATH ADDON_RESOURCE_DIR)

# A resource-script string: quotes are doubled, everything else is kept.
function(_addon_rc_string out text)
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

function(addon_add_installer target)
  # PARSE_ARGV keeps a semicolon in a list of names (escaped as \;).
  cmake_parse_arguments(PARSE_ARGV 1 ARG "WITHOUT_BANNER;NO_PAYLOAD_TABLE;KEEP_DEVICE_NAMES" "COMPONENTS;DESCRIPTION;ENTRY" "")
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

  string(REGEX MATCHALL "[A-Za-z0-9]+" names "${ARG_COMPONENTS}")
  set(devices "")
  foreach(name ${names})
    string(TOUPPER "${name}" upper)
    if(upper MATCHES "^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])$")
      list(APPEND devices "'${name}'")
    endif()
  endforeach()
  if(devices AND NOT ARG_KEEP_DEVICE_NAMES)
    list(JOIN devices ", " devices)
    message(FATAL_ERROR "${target}: the component list '${ARG_COMPONENTS}' names devices: ${devices} (CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9, in any case, are device names to the file system, which would read and write the device instead of the package and the module)")
  endif()
  set(prefixes "")
  foreach(name ${names})
    string(SUBSTRING "${name}" 0 20 prefix)
    string(TOLOWER "${prefix}" prefix)
    if(prefix IN_LIST prefixes)
      message(FATAL_ERROR "${target}: two components of '${ARG_COMPONENTS}' begin with '${prefix}'; their entry records would overwrite each other (names must differ within their first 20 characters)")
    endif()
    list(APPEND prefixes "${prefix}")
  endforeach()

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

  set(depends "${dir}/installer.manifest;${ADDON_RESOURCE_DIR}/help_de.txt;${ADDON_RESOURCE_DIR}/pictures/banner.bmp;${ADDON_RESOURCE_DIR}/pictures/flower.bmp;${ADDON_RESOURCE_DIR}/pictures/installer.ico;${dir}/addon_build_strings.h")
  # A script of this installer's own that includes the shared one: the
  # resource compiler reports no dependencies, and properties of one source
  # file are shared by every target of a folder, so each installer needs a
  # source of its own to depend on its own strings and table.
  set(script ${dir}/${target}.rc)
  file(WRITE ${script}.new "#include \"installer.rc\"\n")
  file(COPY_FILE ${script}.new ${script} ONLY_IF_DIFFERENT)
  list(APPEND depends ${ADDON_RESOURCE_DIR}/installer.rc ${ADDON_RESOURCE_DIR}/resource.h)
  add_library(${target}_resources OBJECT ${script})
  target_include_directories(${target}_resources PRIVATE ${ADDON_RESOURCE_DIR} ${dir})
  if(ARG_WITHOUT_BANNER)
    target_compile_definitions(${target}_resources PRIVATE ADDON_WITHOUT_BANNER_BITMAP)
  endif()

  # The payload table: one line per listed module the build makes.
  set(payloads "")
  foreach(name ${names})
    if(TARGET component_${name})
      get_target_property(payload component_${name} COMPONENT_PAYLOAD)
      if(payload)
        list(APPEND payloads ${payload})
      endif()
    endif()
  endforeach()
  if(payloads AND NOT ARG_NO_PAYLOAD_TABLE)
    set(table ${dir}/addon_payload_table.txt)
    list(JOIN payloads "|" parts)
    add_custom_command(OUTPUT ${table}
      COMMAND ${CMAKE_COMMAND} -DMODE=TABLE -DOUT=${table} "-DPARTS=${parts}" -P ${ADDON_PAYLOAD_SCRIPT}
      DEPENDS ${payloads} ${ADDON_PAYLOAD_SCRIPT}
      COMMENT "Recording the payload of ${target}"
      VERBATIM)
    add_custom_target(${target}_payload_table DEPENDS ${table})
    add_dependencies(${target}_resources ${target}_payload_table)
    target_compile_definitions(${target}_resources PRIVATE "ADDON_PAYLOAD_TABLE=\"addon_payload_table.txt\"")
    list(APPEND depends ${table})
  endif()
  set_source_files_properties(${script}
    TARGET_DIRECTORY ${target}_resources
    PROPERTIES OBJECT_DEPENDS "${depends}")

  add_executable(${target} WIN32
    $<TARGET_OBJECTS:${ARG_ENTRY}> $<TARGET_OBJECTS:${target}_resources>)
  # No symbol table in what vendors ship: it more than doubles the file.
  target_link_options(${target} PRIVATE -s)
  target_link_libraries(${target} PRIVATE addon_app)
endfunction()
