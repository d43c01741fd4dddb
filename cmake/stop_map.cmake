# Writes the map of a built program's stop places: for each, the value its
# report line shows, where it is in the source, what is checked there and
# the exit status it ends with. Run by the build after each link:
#   cmake -DPROGRAM=... -DNM=... -DOBJDUMP=... -DREADELF=... -DSOURCE=...
#         -DSOURCE_NAME=... -DTABLE=... -DSTATUSES=... -DSYSTEM=linux|windows
#         -DVERSION=... -DOUTPUT=... -P stop_map.cmake
# Its header names the version and the build the map belongs to, which
# korvanda-explain checks a program against: the GNU build-id of a Linux
# program, which stripping (as debhelper does after this map is written)
# keeps; else, for a Windows program (whose own checksum is a 32-bit sum)
# or a link that gave none, the SHA-256 of the program as linked.
# The statuses a place ends with are named in TABLE and given in the
# system's codes from STATUSES, whose rows, with their meanings, follow the
# places.
# The value is the address of the place's own function in the symbol table
# (korvanda_stop_<name>::Stop, by its mangled name), as an offset from the
# image's first byte plus 0x00400000 (see failstop/stop_site.h). A link-time
# build may give it a private suffix; a copy an optimiser made of it has
# another suffix, and a profiling build's counters another prefix: neither
# is a place.
execute_process(COMMAND ${NM} ${PROGRAM} OUTPUT_VARIABLE symbols
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} could not read ${PROGRAM}")
endif()
string(PREPEND symbols "\n")  # every line, the first too, follows a break
string(REGEX MATCH "([0-9a-fA-F]+) [A-Za-z] __ehdr_start\n" found "${symbols}")
if(found)
  set(image_start "0x${CMAKE_MATCH_1}")
else()
  # A Windows image names its base in the header, not the symbol table.
  execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE header)
  string(REGEX MATCH "ImageBase[ \t]+([0-9a-fA-F]+)" found "${header}")
  if(NOT found)
    message(FATAL_ERROR "no image start found in ${PROGRAM}")
  endif()
  set(image_start "0x${CMAKE_MATCH_1}")
endif()

set(function "4StopEi(\\.lto_priv\\.[0-9]+)?")
include(${CMAKE_CURRENT_LIST_DIR}/exit_statuses.cmake)
korvanda_read_statuses(${STATUSES})
file(READ ${SOURCE} source)
file(STRINGS ${TABLE} rows REGEX "^[a-z_]+\t")
get_filename_component(program_name ${PROGRAM} NAME)
set(build "")
if(SYSTEM STREQUAL "linux" AND READELF)
  execute_process(COMMAND ${READELF} -n ${PROGRAM} OUTPUT_VARIABLE notes
                  RESULT_VARIABLE failed)
  if(NOT failed AND notes MATCHES "Build ID: ([0-9a-f]+)")
    set(build "build-id ${CMAKE_MATCH_1}")
  endif()
endif()
if(NOT build)
  file(SHA256 ${PROGRAM} sum)
  set(build "sha256 ${sum}")
endif()
set(map "# korvanda ${VERSION}, ${build}\n")
string(APPEND map "# Stop places of ${program_name}: the value in its report line, the\n")
string(APPEND map "# source line, the place, what is checked there, the exit statuses,\n")
string(APPEND map "# the names of their rows below.\n")
set(count 0)
foreach(row IN LISTS rows)
  string(REGEX MATCH "^([a-z_]+)\t([^\t]*)\t(.*)$" found "${row}")
  set(place ${CMAKE_MATCH_1})
  set(checked ${CMAKE_MATCH_2})
  set(keys "${CMAKE_MATCH_3}")
  string(REPLACE " " ";" ends_with "${keys}")
  korvanda_codes_of("${ends_with}" ${SYSTEM} status)
  string(REGEX MATCH
         "\n([0-9a-fA-F]+) [tT] _Z[^ \n]*[0-9]korvanda_stop_${place}${function}\n"
         found "${symbols}")
  if(NOT found)
    message(FATAL_ERROR "${program_name} has no stop place ${place}")
  endif()
  math(EXPR value "0x${CMAKE_MATCH_1} - ${image_start} + 0x00400000"
       OUTPUT_FORMAT HEXADECIMAL)
  string(TOUPPER "${value}" value)
  string(REGEX REPLACE "^0X" "" value "${value}")
  string(LENGTH "${value}" digits)
  while(digits LESS 8)
    string(PREPEND value "0")
    math(EXPR digits "${digits} + 1")
  endwhile()
  string(FIND "${source}" "KORVANDA_STOP_SITE(${place})" at)
  if(at LESS 0)
    message(FATAL_ERROR "${SOURCE_NAME} has no stop place ${place}")
  endif()
  string(SUBSTRING "${source}" 0 ${at} before)
  string(REGEX MATCHALL "\n" breaks "${before}")
  list(LENGTH breaks line)
  math(EXPR line "${line} + 1")
  string(APPEND map
         "${value}\t${SOURCE_NAME}:${line}\t${place}\t${checked}\t${status}\t${keys}\n")
  math(EXPR count "${count} + 1")
  # Two places at one address, as a linker that folds equal functions
  # leaves them, would print one value for both.
  if(DEFINED place_at_${value})
    message(FATAL_ERROR "${program_name}: the stop places ${place_at_${value}} "
            "and ${place} share the value ${value}")
  endif()
  set(place_at_${value} ${place})
endforeach()
string(REGEX MATCHALL
       " [tT] _Z[^ \n]*[0-9]korvanda_stop_[a-z_]+${function}\n" labels
       "${symbols}")
list(LENGTH labels labelled)
# Places in the source count too: one an optimiser found unreachable has
# no function left in the program.
string(REGEX MATCHALL "KORVANDA_STOP_SITE\\([a-z_]+\\)" written "${source}")
list(LENGTH written in_source)
if(NOT count EQUAL labelled OR NOT count EQUAL in_source)
  message(FATAL_ERROR "${program_name} has ${labelled} stop places, "
          "${SOURCE_NAME} ${in_source}, the table ${count}")
endif()
korvanda_map_statuses(${SYSTEM} statuses)
file(WRITE ${OUTPUT} "${map}${statuses}")
