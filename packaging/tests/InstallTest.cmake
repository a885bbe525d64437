# cmake -DBUILD=<build tree> -DPREFIX=<scratch prefix> -DLIBDIR=<lib folder> -P InstallTest.cmake
# Installs the built program into a scratch prefix, checks that the installed
# program and libraries resolve their libraries inside the prefix (never in the
# build tree), and starts the installed program offscreen with --smoke, which
# fails on any shipped file it cannot find.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}${err}")
endif()

set(expected
    bin/zelmora ${LIBDIR}/libvosquin.so ${LIBDIR}/libsimrc.so
    share/zelmora/MoonPhases/moon1.gif share/zelmora/MoonPhases/moon30.gif
    share/zelmora/DataFiles/Locations.txt "share/zelmora/Zelmora 3.0 User Manual.pdf"
    share/applications/zelmora.desktop share/icons/hicolor/scalable/apps/zelmora.svg)
foreach(f IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${f}")
        message(FATAL_ERROR "not installed: ${f}")
    endif()
endforeach()
# Whatever the build generated into these folders is installed, file for file.
foreach(folder MoonPhases WavFiles)
    file(GLOB built RELATIVE ${BUILD}/app/${folder} ${BUILD}/app/${folder}/*)
    file(GLOB installed RELATIVE ${PREFIX}/share/zelmora/${folder} ${PREFIX}/share/zelmora/${folder}/*)
    if(NOT built STREQUAL installed)
        message(FATAL_ERROR "${folder}: built ${built}\ninstalled ${installed}")
    endif()
endforeach()
file(READ ${PREFIX}/share/applications/zelmora.desktop entry)
if(NOT entry MATCHES "Exec=\"${PREFIX}/bin/zelmora\"")
    message(FATAL_ERROR "the menu entry does not start the installed program:\n${entry}")
endif()

# Every library of ours comes from the prefix.
foreach(binary bin/zelmora ${LIBDIR}/libvosquin.so)
    execute_process(COMMAND ldd ${PREFIX}/${binary} OUTPUT_VARIABLE deps RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR deps MATCHES "not found")
        message(FATAL_ERROR "${binary} does not find all its libraries:\n${deps}")
    endif()
    string(REGEX MATCHALL "lib(vosquin|simrc|zelmora[-_][a-z_-]+)\\.so => [^ ]+" ours "${deps}")
    foreach(line IN LISTS ours)
        if(NOT line MATCHES "=> ${PREFIX}/")
            message(FATAL_ERROR "${binary} loads a library from outside the installation: ${line}")
        endif()
    endforeach()
endforeach()

# The installed program starts, finds its files, seeds the user's defaults and closes.
set(app ${PREFIX}/user-data)
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=${PREFIX}/config
            XDG_DATA_HOME=${PREFIX}/data ASAN_OPTIONS=detect_leaks=0
            ${PREFIX}/bin/zelmora --app-dir ${app} --smoke
    WORKING_DIRECTORY ${PREFIX}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 90)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the installed program failed (${rc}):\n${out}${err}")
endif()
if(NOT out MATCHES "resource folder: ${PREFIX}/share/zelmora\n")
    message(FATAL_ERROR "the installed program reads its files elsewhere:\n${out}")
endif()
if(NOT EXISTS ${app}/DataFiles/Locations.txt)
    message(FATAL_ERROR "the default locations were not copied into ${app}")
endif()
message(STATUS "${out}")

# Without a display it says so and ends, instead of aborting inside Qt.
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
            ASAN_OPTIONS=detect_leaks=0 ${PREFIX}/bin/zelmora --app-dir ${app}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
if(NOT rc EQUAL 1 OR NOT err MATCHES "no display")
    message(FATAL_ERROR "without a display the program ended with ${rc}:\n${out}${err}")
endif()
file(REMOVE_RECURSE ${PREFIX})
