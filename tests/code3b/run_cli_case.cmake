# Runs the tramsel tool once and compares its standard output, byte for byte,
# and its exit status with what is expected. With status 2 a message on
# standard error is expected too.
#   -DTOOL=path -DARGS="arguments" -DEXPECTED=file -DSTATUS=n
separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND "${TOOL}" ${args}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
file(READ "${EXPECTED}" expected)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "standard output differs from ${EXPECTED}:\n--- got\n${out}--- expected\n${expected}")
endif()
if(STATUS STREQUAL "2" AND err STREQUAL "")
  message(FATAL_ERROR "no message on standard error")
endif()
if(NOT STATUS STREQUAL "2" AND NOT err STREQUAL "")
  message(FATAL_ERROR "unexpected standard error:\n${err}")
endif()
