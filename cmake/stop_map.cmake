# Writes the map of a built program's stop places: for each, the value its
# report line shows, where it is in the source, what is checked there and
# the exit status it ends with. Run by the build after each link:
#   cmake -DPROGRAM=... -DNM=... -DOBJDUMP=... -DSOURCE=... -DSOURCE_NAME=...
#         -DTABLE=... -DOUTPUT=... -P stop_map.cmake
# The value is the place's label in the symbol table, as an offset from the
# image's first byte plus 0x00400000 (see failstop/stop_site.h).
execute_process(COMMAND ${NM} ${PROGRAM} OUTPUT_VARIABLE symbols
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} could not read ${PROGRAM}")
endif()
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

file(READ ${SOURCE} source)
file(STRINGS ${TABLE} rows REGEX "^[a-z_]+\t")
get_filename_component(program_name ${PROGRAM} NAME)
set(map "# Stop places of ${program_name}: the value in its report line, the\n")
string(APPEND map "# source line, the place, what is checked there, the exit status.\n")
set(count 0)
foreach(row IN LISTS rows)
  string(REGEX MATCH "^([a-z_]+)\t([^\t]*)\t(.*)$" found "${row}")
  set(place ${CMAKE_MATCH_1})
  set(checked ${CMAKE_MATCH_2})
  set(status ${CMAKE_MATCH_3})
  string(REGEX MATCH "([0-9a-fA-F]+) [A-Za-z] korvanda_stop_${place}\n" found
         "${symbols}")
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
         "${value}\t${SOURCE_NAME}:${line}\t${place}\t${checked}\t${status}\n")
  math(EXPR count "${count} + 1")
endforeach()
string(REGEX MATCHALL " [A-Za-z] korvanda_stop_" labels "${symbols}")
list(LENGTH labels labelled)
if(NOT count EQUAL labelled)
  message(FATAL_ERROR
          "${program_name} has ${labelled} stop places, the table ${count}")
endif()
file(WRITE ${OUTPUT} "${map}")
