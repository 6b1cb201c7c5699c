# Fails unless PROGRAM imports only DLLs that every Windows 10/11 machine has, so the exe runs as a single file.
# Usage: cmake -DOBJDUMP=... -DPROGRAM=skerrow.exe -P check_imports.cmake
cmake_minimum_required(VERSION 3.25)
set(SYSTEM_DLLS kernel32.dll user32.dll gdi32.dll comctl32.dll advapi32.dll ws2_32.dll winhttp.dll winmm.dll
    msvcrt.dll shell32.dll ole32.dll iphlpapi.dll)

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot read the imports of ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
if(NOT lines)
    message(FATAL_ERROR "${PROGRAM} imports nothing: not a Windows program?")
endif()
foreach(line IN LISTS lines)
    string(REPLACE "DLL Name: " "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST SYSTEM_DLLS)
        message(FATAL_ERROR "${PROGRAM} imports ${dll}, which is not a system DLL")
    endif()
    message(STATUS "imports ${dll}")
endforeach()
