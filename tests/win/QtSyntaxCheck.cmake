# The Qt-side Windows files (Name_win.cpp beside a Qt class) cannot be built
# here: there is no Qt for Windows. mingw-w64 still parses each of them in
# syntax-only mode against the host's Qt headers, so a typo in Windows-only Qt
# code fails a test. The Qt-free platform files are left out: the Wine leg
# compiles and runs them for real.
file(GLOB_RECURSE qtWinSources CONFIGURE_DEPENDS
    RELATIVE ${CMAKE_SOURCE_DIR}
    ${CMAKE_SOURCE_DIR}/app/*_win.cpp
    ${CMAKE_SOURCE_DIR}/core_qt/*_win.cpp
    ${CMAKE_SOURCE_DIR}/profiles/*_win.cpp)
list(FILTER qtWinSources EXCLUDE REGEX "^core_qt/platform/")
# The host's Qt module folders; not its Linux mkspec (qplatformdefs.h).
set(flags -std=c++20 -fsyntax-only -Wall -Wextra
    # The host headers were made for a shared Linux Qt; mingw notes every
    # exported friend it sees redeclared.
    -Wno-attributes)
if(CMAKE_COMPILE_WARNING_AS_ERROR)
    list(APPEND flags -Werror)
endif()
set(qtIncludes)
foreach(module Core Gui Widgets Network Concurrent DBus)
    get_target_property(moduleIncludes Qt6::${module} INTERFACE_INCLUDE_DIRECTORIES)
    list(APPEND qtIncludes ${moduleIncludes})
    string(TOUPPER ${module} upper)
    list(APPEND flags -DQT_${upper}_LIB)
endforeach()
list(REMOVE_DUPLICATES qtIncludes)
foreach(dir IN LISTS qtIncludes)
    list(APPEND flags -isystem ${dir})
endforeach()
# What a Windows build of the program defines: Qt's own Windows defines and
# the platform layer's (QUORBILAN_WIN32_DEFINITIONS, core_qt/platform).
foreach(definition WIN32 WIN64 MINGW_HAS_SECURE_API=1 _ENABLE_EXTENDED_ALIGNED_STORAGE
        ${QUORBILAN_WIN32_DEFINITIONS})
    list(APPEND flags -D${definition})
endforeach()

# Third-party headers the program uses, without the rest of the host's
# /usr/include (its C library headers must not replace mingw's).
set(thirdParty ${CMAKE_CURRENT_BINARY_DIR}/win/syntax-include)
file(MAKE_DIRECTORY ${thirdParty})
foreach(entry fmt spdlog tinyxml2.h sqlite3.h zlib.h)
    if(EXISTS /usr/include/${entry} AND NOT EXISTS ${thirdParty}/${entry})
        file(CREATE_LINK /usr/include/${entry} ${thirdParty}/${entry} SYMBOLIC)
    endif()
endforeach()

list(APPEND flags -isystem ${thirdParty})
# Each library's own folder, as the libraries expose them to each other.
set(projectIncludes ${CMAKE_SOURCE_DIR}/core_qt ${CMAKE_SOURCE_DIR}/core_qt/platform
    ${CMAKE_SOURCE_DIR}/core_qt/UpdateChecker ${CMAKE_SOURCE_DIR}/crashreport ${CMAKE_SOURCE_DIR}/profiles
    ${QUORBILAN_GENERATED_DIR})
foreach(source IN LISTS qtWinSources)
    get_filename_component(folder ${source} DIRECTORY)
    list(APPEND projectIncludes ${CMAKE_SOURCE_DIR}/${folder})
endforeach()
list(REMOVE_DUPLICATES projectIncludes)
foreach(dir IN LISTS projectIncludes)
    list(APPEND flags -I${dir})
endforeach()

foreach(source IN LISTS qtWinSources)
    string(REGEX REPLACE "[/.]" "_" name ${source})
    add_test(NAME mingw_syntax_${name}
        COMMAND ${QUORBILAN_MINGW_CXX} ${flags} ${CMAKE_SOURCE_DIR}/${source})
    set_tests_properties(mingw_syntax_${name} PROPERTIES LABELS mingw TIMEOUT 120)
endforeach()
