# What the build records about component modules, run as a script:
#
#   cmake -DMODE=PACK -DRUNNER=<a|b|...> -DPPK=<ppk> -DNAME=<base> -DDIR=<dir>
#         -P payload.cmake
#     packs DIR/NAME.dll into DIR/NAME.ppk with `ppk pack` (under RUNNER,
#     "|"-separated, when ppk is a Windows program) and writes the line
#     "NAME <size> <CRC-32>" that ppk reports into DIR/NAME.payload.
#
#   cmake -DMODE=INSPECT -DRUNNER=<a|b|...> -DPPK=<ppk> -DNAME=<base> -DDIR=<dir>
#         [-DEXPECT_REFUSED=ON] -P payload.cmake
#     runs `ppk inspect` on DIR/NAME.dll: fails, with ppk's reason, when the
#     installer would refuse the module (with EXPECT_REFUSED: when it would
#     register it), and prints ppk's warnings.
#
#   cmake -DMODE=TABLE -DOUT=<file> -DPARTS=<a.payload|b.payload|...>
#         -P payload.cmake
#     joins payload lines into an installer's payload table.
if(MODE STREQUAL "PACK")
  string(REPLACE "|" ";" runner "${RUNNER}")
  execute_process(COMMAND ${runner} ${PPK} pack ${NAME}.dll ${NAME}.ppk
    WORKING_DIRECTORY ${DIR} OUTPUT_VARIABLE said ERROR_VARIABLE why RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "ppk pack ${NAME}.dll failed: ${why}")
  endif()
  if(NOT said MATCHES "${NAME}\\.dll: ([0-9]+) bytes, CRC-32 ([0-9A-F]+)")
    message(FATAL_ERROR "ppk pack ${NAME}.dll printed no size and CRC: ${said}")
  endif()
  file(WRITE ${DIR}/${NAME}.payload "${NAME} ${CMAKE_MATCH_1} ${CMAKE_MATCH_2}\n")
elseif(MODE STREQUAL "INSPECT")
  string(REPLACE "|" ";" runner "${RUNNER}")
  execute_process(COMMAND ${runner} ${PPK} inspect ${NAME}.dll
    WORKING_DIRECTORY ${DIR} OUTPUT_VARIABLE said ERROR_VARIABLE why RESULT_VARIABLE result)
  string(REPLACE "\r" "" said "${said}")
  # Indented, CMake prints the lines as they are.
  string(REGEX REPLACE "\n$" "" shown "${said}${why}")
  string(REPLACE "\n" "\n  " shown "  ${shown}")
  if(EXPECT_REFUSED)
    if(NOT result EQUAL 1 OR NOT said MATCHES "^refused: ")
      message(FATAL_ERROR "${NAME}.dll must be refused by the installer, but ppk inspect says (exit ${result}):\n${shown}")
    endif()
  elseif(NOT result EQUAL 0)
    message(FATAL_ERROR "The installer would not register ${NAME}.dll (ppk inspect, exit ${result}):\n${shown}")
  else()
    string(REGEX MATCHALL "warning: [^\n]*" warnings "${said}")
    foreach(warning ${warnings})
      message("${NAME}.dll: ${warning}")
    endforeach()
  endif()
elseif(MODE STREQUAL "TABLE")
  string(REPLACE "|" ";" parts "${PARTS}")
  set(table "")
  foreach(part ${parts})
    file(READ ${part} line)
    string(APPEND table "${line}")
  endforeach()
  file(WRITE ${OUT}.new "${table}")
  file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
else()
  message(FATAL_ERROR "payload.cmake: MODE must be PACK, INSPECT or TABLE")
endif()
