# Writes lm35.ino with its reference set to MILLIVOLTS, as a teacher who calibrates it does.
#   cmake -DSOURCE=<lm35.ino> -DOUTPUT=<copy.ino> -DMILLIVOLTS=<mV> -P calibrate.cmake
file(READ ${SOURCE} sketch)
set(line "const long RIFERIMENTO_MV = 1100;")
string(FIND "${sketch}" "${line}" at)
if(at EQUAL -1)
    message(FATAL_ERROR "${SOURCE} has no line \"${line}\"")
endif()
string(REPLACE "${line}" "const long RIFERIMENTO_MV = ${MILLIVOLTS};" sketch "${sketch}")
file(WRITE ${OUTPUT} "${sketch}")
