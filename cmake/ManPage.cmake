# Writes a program's manual page as the program prints it (--help-man), so
# that the page says what the program's --help says.
#   cmake -DPROGRAM=<program> -DOUTPUT=<page> -P ManPage.cmake
execute_process(COMMAND ${PROGRAM} --help-man OUTPUT_FILE ${OUTPUT}.part RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE ${OUTPUT}.part)
  message(FATAL_ERROR "${PROGRAM} --help-man failed (${rc})")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
