cmake_minimum_required(VERSION 3.20)

# Fails when wendlock.exe imports a DLL that Windows could load from the
# program's own folder. The loader resolves static imports before the first
# line of the program runs, so SetDefaultDllDirectories cannot help: a DLL of
# that name planted beside the exe (in Downloads, say, beside a zip's copy)
# would run with the user's rights. Safe are only
#   - the KnownDLLs, which always come from System32, and
#   - comctl32.dll, which the manifest's Common-Controls dependency redirects
#     to the side-by-side store, and
#   - API sets (api-ms-win-*, ext-ms-*), which are no files at all.
#
#   cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DEXE=wendlock.exe -P check-imports.cmake

# The DLLs named under HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs
# by default on 64-bit Windows 10 and Windows 11, less the WOW64 and ARM64
# emulation DLLs (wow64*.dll, xtajit.dll, wowarmhw.dll) that no program
# imports. ntdll.dll is not named there but is mapped into every process by
# the kernel before anything else. Before adding a name, check it with
# `reg query "HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs"`
# on both versions.
set(KNOWN_DLLS
    advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll difxapi.dll
    gdi32.dll gdiplus.dll imagehlp.dll imm32.dll kernel32.dll msctf.dll
    msvcrt.dll normaliz.dll nsi.dll ntdll.dll ole32.dll oleaut32.dll psapi.dll
    rpcrt4.dll sechost.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll
    user32.dll wldap32.dll ws2_32.dll)

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE headers RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${headers}")
if(NOT lines)
    message(FATAL_ERROR "No import table found in ${EXE}")
endif()

# The manifest is embedded as plain UTF-8 text.
file(STRINGS "${EXE}" common_controls REGEX "name=\"Microsoft\\.Windows\\.Common-Controls\"")

set(unsafe "")
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" lower)
    if(lower IN_LIST KNOWN_DLLS OR lower MATCHES "^(api|ext)-ms-")
        message(STATUS "${dll}: KnownDLL")
    elseif(lower STREQUAL "comctl32.dll" AND common_controls)
        message(STATUS "${dll}: redirected by the manifest")
    elseif(lower STREQUAL "comctl32.dll")
        list(APPEND unsafe "${dll} (imported without the manifest's Common-Controls dependency)")
    else()
        list(APPEND unsafe "${dll}")
    endif()
endforeach()

if(unsafe)
    list(JOIN unsafe "\n  " text)
    message(FATAL_ERROR "${EXE} imports DLLs that Windows would look for in the program's folder first:\n  ${text}\n"
        "Load such a DLL at run time from System32 (LoadLibraryExW with LOAD_LIBRARY_SEARCH_SYSTEM32) "
        "or do without it.")
endif()
