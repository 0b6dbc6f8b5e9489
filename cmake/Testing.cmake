# GoogleTest is built from Debian's source tree, for the native and the MinGW build alike.
set(OSTREVANE_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${OSTREVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Under the cross build every test runs in Wine: a private prefix inside the build tree and
# one virtual X server for the whole run, started and stopped by CTest fixtures.
if(CMAKE_CROSSCOMPILING AND WIN32)
    set(OSTREVANE_WINE_STATE "${CMAKE_BINARY_DIR}/wine")
    set(OSTREVANE_EMULATOR "${CMAKE_SOURCE_DIR}/tools/wine-run;${OSTREVANE_WINE_STATE}")
    add_test(NAME wine_session_start
             COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-session start ${OSTREVANE_WINE_STATE})
    add_test(NAME wine_session_stop
             COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-session stop ${OSTREVANE_WINE_STATE})
    set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session)
    set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session)
else()
    set(OSTREVANE_EMULATOR "")
endif()

add_library(ostrevane_test_main STATIC ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
target_link_libraries(ostrevane_test_main PUBLIC GTest::gtest)
target_include_directories(ostrevane_test_main PUBLIC ${CMAKE_SOURCE_DIR}/tests/support)
ostrevane_warnings(ostrevane_test_main)

# ostrevane_add_test(name SOURCES ... LIBS ... [LAUNCHER script] [TIMEOUT s])
# LAUNCHER is a shell script run on the host around the test (for example to mount a small
# file system first); it gets the command to run as its arguments.
function(ostrevane_add_test name)
    cmake_parse_arguments(T "" "LAUNCHER;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ostrevane_test_main ${T_LIBS})
    ostrevane_warnings(${name})
    set(command ${OSTREVANE_EMULATOR} $<TARGET_FILE:${name}>)
    if(T_LAUNCHER)
        set(command bash ${T_LAUNCHER} ${command})
    endif()
    add_test(NAME ${name} COMMAND ${command})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 600)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
                         ENVIRONMENT "OSTREVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
    if(OSTREVANE_EMULATOR)
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_session
                             ENVIRONMENT "OSTREVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR};OSTREVANE_WINE_STATE=${OSTREVANE_WINE_STATE}")
    endif()
endfunction()
