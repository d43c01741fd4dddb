# Packs the Windows program, its map, the example input (korvanda.in,
# where the program finds it), the release notes (NEWS), the licence
# (LICENSE) and a README.txt written for Windows (cmake/windows_readme.cmake,
# with CR LF line ends, which any Windows editor opens) into a .zip that is
# the same to the byte
# whoever builds it, wherever, whenever, under whatever umask or time
# zone. Run by the target `zip`:
#   cmake -DPROGRAM=... -DMAP=... -DSOURCE_DIR=... -DDATE="<a date>"
#         -DOUTPUT=... -P windows_zip.cmake
# A .zip keeps local DOS times and each file's owner: the times are DATE's
# in UTC, and strip-nondeterminism (Debian's package of that name) takes
# the owner out.
find_program(strip_nondeterminism strip-nondeterminism)
if(NOT strip_nondeterminism)
  message(FATAL_ERROR "the .zip would carry the builder's user: "
    "strip-nondeterminism (Debian package strip-nondeterminism) takes it out")
endif()
execute_process(COMMAND date -u -d "${DATE}" +%s
  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND date -u -d @${epoch} "+%Y-%m-%d %H:%M:%S UTC"
  OUTPUT_VARIABLE time OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(stage ${OUTPUT}.contents ABSOLUTE)
file(REMOVE_RECURSE ${stage})
file(COPY ${PROGRAM} DESTINATION ${stage} FILE_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
file(COPY ${MAP} ${SOURCE_DIR}/NEWS ${SOURCE_DIR}/LICENSE
  ${SOURCE_DIR}/examples/korvanda.in DESTINATION ${stage}
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
include(${CMAKE_CURRENT_LIST_DIR}/windows_readme.cmake)
korvanda_windows_readme(${SOURCE_DIR} ${MAP} ${stage}/README.txt)
file(CHMOD ${stage}/README.txt PERMISSIONS
  OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(ENV{TZ} UTC0)
get_filename_component(program ${PROGRAM} NAME)
get_filename_component(map ${MAP} NAME)
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUTPUT} --format=zip
    "--mtime=${time}" ${program} ${map} korvanda.in NEWS LICENSE README.txt
  WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${strip_nondeterminism} --timestamp ${epoch} ${OUTPUT}
  COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${stage})
