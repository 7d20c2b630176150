# Renders the man page as plain text for the Windows zip, with Windows line ends:
#   cmake -D PAGE=doc/corvane.1 -D TEXT=corvane.txt -P cmake/man-page-text.cmake
# man (man-db with groff) writes plain text, without bold or underline, when its output is no
# terminal.
find_program(MAN man REQUIRED)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env MANWIDTH=80 ${MAN} -E ascii -l ${PAGE}
  OUTPUT_VARIABLE text
  ERROR_VARIABLE warnings
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "man -l ${PAGE} failed (${status}): ${warnings}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${TEXT} "${text}")
