cmake_minimum_required(VERSION 3.20)

# Builds the MSI from packaging/wendlock.wxs with wixl, then corrects with
# msibuild what wixl 0.101 (Debian 12) cannot express or gets wrong:
#   - Root "HKMU" comes out as 4 in the Registry table; Windows Installer
#     knows it as -1 (HKCU per user, HKLM per machine);
#   - a component cannot carry a condition (<Condition> under <Component> is
#     refused): the start-at-logon component gets its condition here;
#   - properties cannot be marked Secure: STARTATLOGON and INSTALLDIR join
#     SecureCustomProperties, so that they reach the installation when it
#     runs elevated (per machine) or is managed;
#   - a custom action cannot run a program from a folder (Directory with
#     ExeCommand): the removal of the user's logon entry at uninstall (its
#     place in the sequence, and why, are in wendlock.wxs) is added here.
#
#   cmake -DWIXL= -DMSIBUILD= -DMSIINFO= -DWXS= -DVERSION= -DSOURCE_DIR=
#         -DEXE= -DGUIDE= -DOUTPUT= -P build-msi.cmake
# EXE and GUIDE are the released exe and the guide's HTML; the other files
# come from SOURCE_DIR.

# Never changes: every version of Wendlock carries it, so a newer one finds
# and replaces an older one.
set(UPGRADE_CODE 66373D0A-A328-482E-86EA-6FE73706D0D9)
# A new product code for each version, the same for every build of it.
string(UUID PRODUCT_CODE NAMESPACE ${UPGRADE_CODE} NAME "Wendlock ${VERSION} x64" TYPE SHA1 UPPER)

# The start-at-logon component: with STARTATLOGON=1, or when the Run value
# already names the exe this package installs (the check box or an earlier
# install wrote it), unless STARTATLOGON=0. "Contains, in any case" (~><)
# rather than equality: Wine's AppSearch drops a quote of a quoted value.
# Windows evaluates a component's condition only when the component is first
# installed; Wine also at uninstall, so there the condition asks whether the
# component is installed (its key path value, found by AppSearch), as Windows
# would: a false one would leave the Run value behind, and a true one for a
# component never installed would remove a value the package did not write.
set(LOGON_CONDITION
    "STARTATLOGON = \"1\" OR (REMOVE ~= \"ALL\" AND ((NOT ALLUSERS AND LOGONINSTALLEDUSER) OR (ALLUSERS AND LOGONINSTALLEDMACHINE))) OR (NOT (REMOVE ~= \"ALL\") AND STARTATLOGON <> \"0\" AND ((NOT ALLUSERS AND LOGONENTRYUSER ~>< LOGONTARGET) OR (ALLUSERS AND LOGONENTRYMACHINE ~>< LOGONTARGET)))")

# Type 34 (a program in a folder) + 1024 (deferred, so run as the user in the
# installation script) + 64 (its exit code is not looked at).
set(LOGON_CLEANUP_TYPE 1122)
set(LOGON_CLEANUP_COMMAND "\"[System64Folder]reg.exe\" delete HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run /v Wendlock /f")

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${ARGN}\nfailed (${result}):\n${out}${err}")
    endif()
    set(run_output "${out}" PARENT_SCOPE)
endfunction()

# wixl 0.101 finds files only by names relative to its working folder.
set(files "${OUTPUT}.files")
file(REMOVE_RECURSE "${files}")
file(MAKE_DIRECTORY "${files}")
file(COPY_FILE "${EXE}" "${files}/wendlock.exe")
file(COPY_FILE "${GUIDE}" "${files}/User Guide.html")
file(COPY_FILE "${SOURCE_DIR}/LICENSE" "${files}/LICENSE.txt")
foreach(name olico.ico olicod.ico bell.ico task.ico newlnks.example.ini wendlock.ico)
    file(COPY_FILE "${SOURCE_DIR}/resources/${name}" "${files}/${name}")
endforeach()

set(work "${OUTPUT}.tmp")
file(REMOVE "${work}")
execute_process(
    COMMAND "${WIXL}" --arch x64 -D Version=${VERSION} -D ProductCode=${PRODUCT_CODE} -D UpgradeCode=${UPGRADE_CODE}
            -o "${work}" "${WXS}"
    WORKING_DIRECTORY "${files}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "wixl failed (${result})")
endif()

run("${MSIINFO}" export "${work}" Property)
if(NOT run_output MATCHES "\nSecureCustomProperties\t([^\n]*)")
    message(FATAL_ERROR "wixl wrote no SecureCustomProperties (MajorUpgrade missing?)")
endif()
set(secure "${CMAKE_MATCH_1};STARTATLOGON;INSTALLDIR")

# Not through run(): the semicolons of the property list would split it.
execute_process(
    COMMAND "${MSIBUILD}" "${work}"
        -q "UPDATE `Registry` SET `Root` = -1 WHERE `Root` = 4"
        -q "UPDATE `Component` SET `Condition` = '${LOGON_CONDITION}' WHERE `Component` = 'StartAtLogon'"
        -q "UPDATE `Property` SET `Value` = '${secure}' WHERE `Property` = 'SecureCustomProperties'"
        -q "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('RemoveUsersLogonEntry', ${LOGON_CLEANUP_TYPE}, 'System64Folder', '${LOGON_CLEANUP_COMMAND}')"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "msibuild failed (${result})")
endif()

# Check that the corrections took.
run("${MSIINFO}" export "${work}" Registry)
if(run_output MATCHES "\t4\t")
    message(FATAL_ERROR "Registry rows with root 4 remain:\n${run_output}")
endif()
run("${MSIINFO}" export "${work}" Component)
string(FIND "${run_output}" "${LOGON_CONDITION}" found)
if(found EQUAL -1)
    message(FATAL_ERROR "The start-at-logon component has no condition:\n${run_output}")
endif()
run("${MSIINFO}" export "${work}" CustomAction)
string(FIND "${run_output}" "RemoveUsersLogonEntry\t${LOGON_CLEANUP_TYPE}\tSystem64Folder\t${LOGON_CLEANUP_COMMAND}\t" found)
if(found EQUAL -1)
    message(FATAL_ERROR "The removal of the user's logon entry is missing:\n${run_output}")
endif()
run("${MSIINFO}" export "${work}" Property)
string(FIND "${run_output}" "SecureCustomProperties\t${secure}\n" found)
if(found EQUAL -1)
    message(FATAL_ERROR "SecureCustomProperties not set:\n${run_output}")
endif()

file(RENAME "${work}" "${OUTPUT}")
file(REMOVE_RECURSE "${files}")
