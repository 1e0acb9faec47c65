# The crash reporter's Qt-free part for the target platform: the handler, the
# report mail and, on Windows, the dialog-template message box. Compiled into
# quorbilan_platform; the Qt report box of the Linux side is in CMakeLists.txt.
set(QUORBILAN_CRASHREPORT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CrashHandler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReportMail.cpp
)
if(WIN32)
    list(APPEND QUORBILAN_CRASHREPORT_SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/CrashHandler_win.cpp
        ${CMAKE_CURRENT_LIST_DIR}/ReportMail_win.cpp
        ${CMAKE_CURRENT_LIST_DIR}/XMessageBox_win.cpp
        ${CMAKE_CURRENT_LIST_DIR}/CXDialogTemplate_win.cpp
    )
else()
    list(APPEND QUORBILAN_CRASHREPORT_SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/CrashHandler_linux.cpp
        ${CMAKE_CURRENT_LIST_DIR}/ReportMail_linux.cpp
    )
endif()
