# Speaks TEXT into the wave file OUT with espeak-ng (ESPEAK), written under a
# temporary name and renamed, so a failed run never leaves half a file.
execute_process(COMMAND ${ESPEAK} -v en -s 150 -w ${OUT}.tmp ${TEXT}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    file(REMOVE ${OUT}.tmp)
    message(FATAL_ERROR "espeak-ng failed for ${OUT}")
endif()
file(RENAME ${OUT}.tmp ${OUT})
