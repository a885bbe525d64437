# cmake -DSOURCE=<source tree> -DBUILD=<build tree> -DREMOVE=<package> -P DepsCheckFails.cmake
# Runs the dependency check against deps.sh with one package taken off its list:
# it must fail and name that package.
file(READ ${SOURCE}/scripts/deps.sh script)
string(REGEX REPLACE "([ \n])${REMOVE}([ \n])" "\\1\\2" changed "${script}")
if(changed STREQUAL script)
    message(FATAL_ERROR "${REMOVE} is not on the list in scripts/deps.sh")
endif()
set(deps ${BUILD}/deps-check-test/deps.sh)
file(WRITE ${deps} "${changed}")
execute_process(
    COMMAND bash ${SOURCE}/scripts/check-deps.sh --deps ${deps} ${BUILD}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1)
    message(FATAL_ERROR "check-deps.sh without ${REMOVE} ended with ${rc}, not 1:\n${out}${err}")
endif()
if(NOT err MATCHES "\n  ${REMOVE}: ")
    message(FATAL_ERROR "check-deps.sh did not name ${REMOVE}:\n${err}")
endif()
message(STATUS "${err}")
