cmake_minimum_required(VERSION 3.20)

# Signs a file of the release (the exe, the MSI) in place with Authenticode,
# through osslsigncode: SHA-256, the certificate and key of a PKCS#12 file,
# and, when a time-stamp server is given, an RFC 3161 time stamp, which keeps
# the signature valid after the certificate expires. The password is read
# from a file, so that it appears on no command line and in no build log.
#   cmake -DOSSLSIGNCODE= -DPFX= [-DPASSWORD_FILE=] [-DTIMESTAMP_URL=] -DFILE= -P sign.cmake

set(args sign -pkcs12 "${PFX}" -h sha256 -n Wendlock)
if(PASSWORD_FILE)
    list(APPEND args -readpass "${PASSWORD_FILE}")
endif()
if(TIMESTAMP_URL)
    list(APPEND args -ts "${TIMESTAMP_URL}")
endif()

set(signed "${FILE}.signed")
file(REMOVE "${signed}")
execute_process(COMMAND "${OSSLSIGNCODE}" ${args} -in "${FILE}" -out "${signed}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
    file(REMOVE "${signed}")
    message(FATAL_ERROR "osslsigncode could not sign ${FILE} with ${PFX} (${result}):\n${out}${err}")
endif()
file(RENAME "${signed}" "${FILE}")
