# Run by CPack on its staged files: CPack strips the programs as `install -s` does; Debian's
# own tools also drop the compiler's .comment section, which lintian looks for.
foreach(name tappy tappy-content)
    set(program "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/lib/tappy/${name}")
    if(NOT EXISTS "${program}")
        message(FATAL_ERROR "The staged package has no ${program}")
    endif()
    execute_process(COMMAND "${CPACK_TAPPY_STRIP}" --remove-section=.comment "${program}"
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
