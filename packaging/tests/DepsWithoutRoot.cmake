# cmake -DSOURCE=<source tree> -DBUILD=<build tree> -P DepsWithoutRoot.cmake
# deps.sh run by a user who is neither root nor has sudo, with a package
# missing: it names the package and how to install it, and fails.
find_program(SETPRIV setpriv)
if(EXISTS /usr/bin/sudo OR EXISTS /bin/sudo OR NOT SETPRIV)
    message(STATUS "sudo is installed here (or setpriv is not): nothing to show")
    return()
endif()
file(READ ${SOURCE}/scripts/deps.sh script)
string(REPLACE "PACKAGES=(\n" "PACKAGES=(\n    zelmora-no-such-package\n" changed "${script}")
set(dir ${BUILD}/deps-without-root)
file(MAKE_DIRECTORY ${dir})
file(WRITE ${dir}/deps.sh "${changed}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env PATH=/usr/bin:/bin
                        ${SETPRIV} --reuid=65534 --regid=65534 --clear-groups bash ${dir}/deps.sh
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc EQUAL 0 OR NOT err MATCHES "apt-get install --no-install-recommends zelmora-no-such-package")
    message(FATAL_ERROR "deps.sh without root ended with ${rc}:\n${out}${err}")
endif()
message(STATUS "${err}")
