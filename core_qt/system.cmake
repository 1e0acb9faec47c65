# The platform layer: processes, version information, string helpers, OS names.
# QUORBILAN_PORTABLE_SOURCES compile on every platform (also into quorbilan_win32);
# QUORBILAN_SYSTEM_SOURCES are the ones compiled into quorbilan_core on this host.
set(QUORBILAN_PORTABLE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/StringHelpers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VersionCompare.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileVersionInfo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/platform/DarkModeVersion.cpp
    ${CMAKE_CURRENT_LIST_DIR}/platform/SystemMessage.cpp
)

include(${CMAKE_CURRENT_LIST_DIR}/../crashreport/crashreport.cmake)

if(WIN32)
    # With Qt for Windows quorbilan_core also links quorbilan_win32.
    set(QUORBILAN_SYSTEM_SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/OsVersion_win.cpp
    )
else()
    set(QUORBILAN_SYSTEM_SOURCES
        ${QUORBILAN_PORTABLE_SOURCES}
        ${CMAKE_CURRENT_LIST_DIR}/LowerCaseTable_linux.cpp
        ${CMAKE_CURRENT_LIST_DIR}/WideUtf8_linux.cpp
        ${CMAKE_CURRENT_LIST_DIR}/ProcessHelpers_linux.cpp
        ${CMAKE_CURRENT_LIST_DIR}/FileVersionInfo_linux.cpp
        ${CMAKE_CURRENT_LIST_DIR}/OsVersion_linux.cpp
        ${CMAKE_CURRENT_LIST_DIR}/platform/PowerSource_linux.cpp
        ${QUORBILAN_CRASHREPORT_SOURCES}
    )
endif()
