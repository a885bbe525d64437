# Helpers shared by every folder.
#
# zelmora_tests(<name> SOURCES <files...> LIBS <targets...> [CORE])
#   Builds <name> from the sources with the common test main (a QApplication on
#   the offscreen platform, program state and services reset before each test)
#   and registers every test case with ctest. CORE: the lowest layers' main and
#   environment only (testing/CoreEnv.h), with no shell and no simulator.
function(zelmora_tests name)
    cmake_parse_arguments(ARG "CORE" "" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT ZELMORA_TESTS)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_CORE)
        set(environment zelmora_testing_core_main)
    else()
        set(environment zelmora_testing)
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${environment} GTest::gtest GTest::gmock)
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS "${ARG_LABELS}"
        DISCOVERY_TIMEOUT 60)
endfunction()
