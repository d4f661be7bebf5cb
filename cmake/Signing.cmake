# Authenticode signatures on what ships, when the build is given a code-signing
# certificate; without one no signing step exists and the build is as it was.
#   TORVA_SIGN_PFX            PKCS#12 file (certificate, chain, key); empty: sign nothing
#   TORVA_SIGN_PASSWORD       its password; empty: the environment variable of
#                             that name when the build runs, which keeps the
#                             password out of CMakeCache.txt
#   TORVA_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server; empty: none
# The first two default to the environment variables of the same names at
# the first configure.
include_guard(GLOBAL)
set(TORVA_SIGN_PFX "$ENV{TORVA_SIGN_PFX}" CACHE FILEPATH
    "PKCS#12 file with the code-signing certificate and its key (empty: nothing is signed)")
set(TORVA_SIGN_PASSWORD "" CACHE STRING
    "Password of TORVA_SIGN_PFX (empty: the environment variable TORVA_SIGN_PASSWORD at build time)")
set(TORVA_SIGN_TIMESTAMP_URL "$ENV{TORVA_SIGN_TIMESTAMP_URL}" CACHE STRING
    "RFC 3161 time-stamping server for the signatures (empty: no time stamp)")

if(TORVA_SIGN_PFX)
    get_filename_component(TORVA_SIGN_PFX "${TORVA_SIGN_PFX}" ABSOLUTE)
    if(NOT EXISTS "${TORVA_SIGN_PFX}")
        message(FATAL_ERROR "TORVA_SIGN_PFX names no file: ${TORVA_SIGN_PFX}")
    endif()
    find_program(TORVA_OSSLSIGNCODE osslsigncode REQUIRED)
    message(STATUS "Signing the DLL and the installer packages with ${TORVA_SIGN_PFX}")
endif()

# The command that signs FILE in place, as Windows shows DESCRIPTION; empty
# when the build has no certificate.
function(torva_sign_command out file description)
    set(command)
    if(TORVA_SIGN_PFX)
        set(command ${CMAKE_COMMAND} -E env TORVA_SIGN_PFX=${TORVA_SIGN_PFX}
            TORVA_SIGN_TIMESTAMP_URL=${TORVA_SIGN_TIMESTAMP_URL})
        if(NOT TORVA_SIGN_PASSWORD STREQUAL "")
            list(APPEND command TORVA_SIGN_PASSWORD=${TORVA_SIGN_PASSWORD})
        endif()
        list(APPEND command ${PROJECT_SOURCE_DIR}/tools/sign-file ${file} ${description})
    endif()
    set(${out} ${command} PARENT_SCOPE)
endfunction()
