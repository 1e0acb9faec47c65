# The Win32 layer's tests: built with mingw-w64 as a project of their own (the
# CMakeLists.txt beside this file) and run under Wine in a private prefix
# inside the build tree (label "wine"); before them the syntax check of the
# Qt-side Windows files (label "mingw"). Included from tests/CMakeLists.txt.
set(winTestsBinaryDir ${CMAKE_CURRENT_BINARY_DIR}/win)
find_program(QUORBILAN_MINGW_CXX x86_64-w64-mingw32-g++-posix)
if(QUORBILAN_MINGW_CXX)
    include(${CMAKE_CURRENT_LIST_DIR}/QtSyntaxCheck.cmake)
endif()
find_program(QUORBILAN_WINE wine)
find_program(QUORBILAN_WINESERVER wineserver)
if(NOT QUORBILAN_MINGW_CXX OR NOT QUORBILAN_WINE OR NOT QUORBILAN_WINESERVER)
    message(WARNING "mingw-w64 or Wine is missing: the Windows tests are left out (scripts/setup.sh installs them)")
    return()
endif()

include(ExternalProject)
set(winBuild ${winTestsBinaryDir}/mingw)
ExternalProject_Add(wintests
    SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}
    BINARY_DIR ${winBuild}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
        -DCMAKE_BUILD_TYPE=Debug
        # The test build treats warnings as errors in every compiler.
        -DCMAKE_COMPILE_WARNING_AS_ERROR=${CMAKE_COMPILE_WARNING_AS_ERROR}
        -DQUORBILAN_SOURCE_DIR=${CMAKE_SOURCE_DIR}
        -DQUORBILAN_GENERATED_DIR=${QUORBILAN_GENERATED_DIR}
    INSTALL_COMMAND ""
    # The sub-build decides itself what is out of date.
    BUILD_ALWAYS ON
    # The program's icon for its resource script comes from the host build.
    DEPENDS quorbilan_ico
    BUILD_BYPRODUCTS ${winBuild}/wintests.exe ${winBuild}/wintests_child.exe ${winBuild}/wintests_module.dll
        ${winBuild}/wintests_console.exe ${winBuild}/wintests_resources.exe ${winBuild}/wintests_win10.exe
        ${winBuild}/wintests_theme_old.dll ${winBuild}/wintests_theme_new.dll ${winBuild}/wintests_theme_bare.dll)

set(wineEnvironment
    WINEPREFIX=${winTestsBinaryDir}/wineprefix
    WINEDEBUG=-all
    # No Mono or Gecko installers: they would only slow the prefix's creation.
    WINEDLLOVERRIDES=mscoree,mshtml=)

# One wineserver for the whole run; the first run also creates the prefix.
add_test(NAME wine_start COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wineserver.sh start)
add_test(NAME wine_stop COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wineserver.sh stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 180)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)
set_tests_properties(wine_start wine_stop PROPERTIES ENVIRONMENT "${wineEnvironment}" LABELS wine)

# The program's own resources live in a test program of their own: its
# manifest, icon and version resource are the program's.
foreach(group strings registry fileversion processes windowsversion programlocation runningprograms console
        crashtexts mail resources)
    set(program wintests.exe)
    if(group STREQUAL resources)
        set(program wintests_resources.exe)
    endif()
    add_test(NAME wine_${group} COMMAND ${QUORBILAN_WINE} ${winBuild}/${program} ${group})
    set_tests_properties(wine_${group} PROPERTIES
        ENVIRONMENT "${wineEnvironment}"
        FIXTURES_REQUIRED wine
        LABELS wine
        TIMEOUT 120)
endforeach()

# The dark-mode watcher needs Windows 10: wintests_win10.exe (see wineserver.sh).
add_test(NAME wine_darkmode COMMAND ${QUORBILAN_WINE} ${winBuild}/wintests_win10.exe darkmode)
set_tests_properties(wine_darkmode PROPERTIES
    ENVIRONMENT "${wineEnvironment}" FIXTURES_REQUIRED wine LABELS wine TIMEOUT 120)

# The recording MAPI32.DLL the mail tests load must win over Wine's own.
string(REPLACE "WINEDLLOVERRIDES=mscoree,mshtml=" "WINEDLLOVERRIDES=mscoree,mshtml=\\;mapi32=n,b"
    mailEnvironment "${wineEnvironment}")
set_tests_properties(wine_mail PROPERTIES ENVIRONMENT "${mailEnvironment}")

# Groups that show windows need an X server: the power watcher's hidden window,
# the message box and the crash report. Wine's desktop keeps the display of the
# wineserver it started with, so these run one at a time in a prefix of their
# own whose wineserver starts and ends inside each run's xvfb-run.
find_program(QUORBILAN_XVFB_RUN xvfb-run)
if(QUORBILAN_XVFB_RUN)
    foreach(group notifications xmessagebox crash)
        add_test(NAME wine_${group} COMMAND ${QUORBILAN_XVFB_RUN} -a
            sh ${CMAKE_CURRENT_LIST_DIR}/wine_display.sh ${winTestsBinaryDir}/wineprefix_display
            ${winBuild}/wintests.exe ${group})
        set_tests_properties(wine_${group} PROPERTIES
            ENVIRONMENT "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml="
            RESOURCE_LOCK wine_display
            LABELS wine
            TIMEOUT 240)
    endforeach()
endif()
