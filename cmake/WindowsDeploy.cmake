# Lays out the Windows program as it ships: quorbilan.exe, the Qt plugins it
# loads and every DLL any of them needs that is not part of Windows, then zips
# the folder. Run in script mode by the Windows build's "deploy" target:
#   cmake -DEXE=... -DQT_PREFIX=... -DOBJDUMP=... -DSEARCH_DIRS=a|b -DDEPLOY_DIR=...
#         -DZIP=... -DZIP_FOLDER=... -P WindowsDeploy.cmake
cmake_minimum_required(VERSION 3.25)

foreach(var EXE QT_PREFIX OBJDUMP SEARCH_DIRS DEPLOY_DIR ZIP ZIP_FOLDER)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "WindowsDeploy.cmake needs ${var}")
    endif()
endforeach()

# The folders come separated by "|": a ";" does not survive the build tool.
string(REPLACE "|" ";" SEARCH_DIRS "${SEARCH_DIRS}")

file(REMOVE_RECURSE ${DEPLOY_DIR})
file(MAKE_DIRECTORY ${DEPLOY_DIR})
file(COPY ${EXE} DESTINATION ${DEPLOY_DIR})
get_filename_component(exeName ${EXE} NAME)
set(binaries ${DEPLOY_DIR}/${exeName})

# The plugins: the platform, the native style, the TLS backend of the update
# service and the image formats.
set(plugins platforms/qwindows.dll styles/qwindowsvistastyle.dll tls/qschannelbackend.dll)
file(GLOB imageFormats RELATIVE ${QT_PREFIX}/plugins ${QT_PREFIX}/plugins/imageformats/*.dll)
list(APPEND plugins ${imageFormats})
foreach(plugin IN LISTS plugins)
    if(NOT EXISTS ${QT_PREFIX}/plugins/${plugin})
        message(FATAL_ERROR "Qt for Windows has no plugin ${plugin}")
    endif()
    get_filename_component(folder ${plugin} DIRECTORY)
    file(COPY ${QT_PREFIX}/plugins/${plugin} DESTINATION ${DEPLOY_DIR}/${folder})
    list(APPEND binaries ${DEPLOY_DIR}/${plugin})
endforeach()

# Every DLL a binary imports that one of the search folders holds; the rest
# (KERNEL32.dll, USER32.dll ...) come with Windows.
set(copied)
while(binaries)
    list(POP_FRONT binaries binary)
    execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${OBJDUMP} cannot read ${binary}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
    foreach(import IN LISTS imports)
        string(REPLACE "DLL Name: " "" dll "${import}")
        string(STRIP "${dll}" dll)
        string(TOLOWER "${dll}" key)
        if(key IN_LIST copied)
            continue()
        endif()
        list(APPEND copied ${key})
        foreach(dir IN LISTS SEARCH_DIRS)
            if(EXISTS ${dir}/${dll})
                file(COPY ${dir}/${dll} DESTINATION ${DEPLOY_DIR})
                list(APPEND binaries ${DEPLOY_DIR}/${dll})
                break()
            endif()
        endforeach()
    endforeach()
endwhile()

# The zip holds one folder named after the product and its version.
get_filename_component(zipParent ${ZIP} DIRECTORY)
set(staging ${zipParent}/zip-staging)
file(REMOVE_RECURSE ${staging} ${ZIP})
file(MAKE_DIRECTORY ${staging})
file(COPY ${DEPLOY_DIR}/ DESTINATION ${staging}/${ZIP_FOLDER})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${ZIP_FOLDER}
    WORKING_DIRECTORY ${staging} RESULT_VARIABLE rc)
file(REMOVE_RECURSE ${staging})
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not write ${ZIP}")
endif()
message(STATUS "Deployed ${DEPLOY_DIR} and ${ZIP}")
