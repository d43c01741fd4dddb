# Run by cpack after it has made the packages (CPACK_POST_BUILD_SCRIPTS): a
# .zip records the user and group of the builder with each file, which
# Debian's strip-nondeterminism takes out, and its times are set to the
# source's.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "[.]zip$")
    find_program(strip_nondeterminism strip-nondeterminism)
    if(NOT strip_nondeterminism)
      message(FATAL_ERROR "${package} would carry the builder's user: "
        "strip-nondeterminism (Debian package strip-nondeterminism) takes "
        "it out")
    endif()
    execute_process(COMMAND ${strip_nondeterminism}
      --timestamp $ENV{SOURCE_DATE_EPOCH} ${package}
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
