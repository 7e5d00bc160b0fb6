# cmake -DINPUT=<file> -DOUTPUT=<file.gz> -P Gzip.cmake
# Compresses as Debian wants it: best compression, no name or time stamp inside.
find_program(GZIP gzip REQUIRED)
execute_process(COMMAND ${GZIP} -9 -n -c INPUT_FILE ${INPUT} OUTPUT_FILE ${OUTPUT}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${OUTPUT})
    message(FATAL_ERROR "gzip failed on ${INPUT}")
endif()
