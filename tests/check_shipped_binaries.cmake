# Checks what the shipped Windows binaries need from the system they run on.
#   cmake -DOBJDUMP=<objdump> -DPROGRAMS=<a.exe;b.exe> -DMODULES=<c.dll;...>
#         -P check_shipped_binaries.cmake
#
# Programs may import only DLLs that every Windows has: a DLL looked up
# beside the program (zlib1.dll, a runtime DLL of the compiler) would not be
# there on a user's machine, and one planted in the download folder would run
# with the installer's administrator rights. Wine ships many DLLs a real
# Windows lacks, so only the import table can tell.
# Component modules are resource-only DLLs: no entry point, no imports.
cmake_minimum_required(VERSION 3.25)
set(allowed KERNEL32.dll USER32.dll GDI32.dll ADVAPI32.dll msvcrt.dll)
string(TOLOWER "${allowed}" allowed)

function(dump_of file out)
  execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${OBJDUMP} cannot read ${file}")
  endif()
  set(${out} "${dump}" PARENT_SCOPE)
endfunction()

set(problems "")
foreach(program ${PROGRAMS})
  dump_of(${program} dump)
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  foreach(import ${imports})
    string(REPLACE "DLL Name: " "" dll "${import}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" lower)
    if(NOT lower IN_LIST allowed)
      string(APPEND problems "  ${program} imports ${dll}\n")
    endif()
  endforeach()
endforeach()

foreach(module ${MODULES})
  dump_of(${module} dump)
  string(REGEX MATCH "\nCharacteristics 0x([0-9a-fA-F]+)" ignored "${dump}")
  math(EXPR isDll "0x${CMAKE_MATCH_1} & 0x2000")
  if(isDll EQUAL 0)
    string(APPEND problems "  ${module} is not a DLL\n")
  endif()
  if(NOT dump MATCHES "AddressOfEntryPoint[\t ]+0+\n")
    string(APPEND problems "  ${module} has an entry point\n")
  endif()
  if(dump MATCHES "DLL Name:")
    string(APPEND problems "  ${module} imports from other modules\n")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "Shipped binaries need what a user's Windows lacks:\n${problems}")
endif()
message(STATUS "checked: ${PROGRAMS} ${MODULES}")
