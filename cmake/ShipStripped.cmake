# The DLL that is built is the one that ships, so the tests run what users
# get: stripped in place after the link. Its debug information goes to
# symbols/<name>.debug in the build tree, tied to the DLL by a debug link
# (name and checksum) for reading crash dumps later. Given a certificate
# (Signing.cmake), the stripped DLL is signed last: any change after the
# signature would break it.
include(${CMAKE_CURRENT_LIST_DIR}/Signing.cmake)
function(torva_ship_stripped target)
    if(NOT CMAKE_OBJCOPY)
        message(FATAL_ERROR "objcopy is needed to strip ${target}")
    endif()
    set(debug ${CMAKE_BINARY_DIR}/symbols/$<TARGET_FILE_NAME:${target}>.debug)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/symbols
        COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug}
        COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${debug} $<TARGET_FILE:${target}>
        COMMENT "Stripping ${target}, its debug information into symbols/"
        VERBATIM)
    torva_sign_command(sign $<TARGET_FILE:${target}> ${target})
    if(sign)
        add_custom_command(TARGET ${target} POST_BUILD COMMAND ${sign}
            COMMENT "Signing ${target}" VERBATIM)
    endif()
endfunction()
