# Packs the Windows program, its map, the release notes (NEWS), the
# licence (LICENSE) and README (as README.txt, with CR LF line ends, which
# any Windows editor opens) into a .zip that is the same to the byte
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
file(COPY ${MAP} ${SOURCE_DIR}/NEWS ${SOURCE_DIR}/LICENSE DESTINATION ${stage}
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(READ ${SOURCE_DIR}/README.md readme)
string(REPLACE "\n" "\r\n" readme "${readme}")
file(WRITE ${stage}/README.txt "${readme}")
file(CHMOD ${stage}/README.txt PERMISSIONS
  OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(ENV{TZ} UTC0)
get_filename_component(program ${PROGRAM} NAME)
get_filename_component(map ${MAP} NAME)
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUTPUT} --format=zip
    "--mtime=${time}" ${program} ${map} NEWS LICENSE README.txt
  WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${strip_nondeterminism} --timestamp ${epoch} ${OUTPUT}
  COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${stage})
