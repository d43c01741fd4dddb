# The one table of exit statuses (solver/exit_statuses.txt) and what is
# made from it: the statuses a stop place ends with and the meanings in the
# map beside each program, README's table and the manual page's list.
#
# Run as a script it checks that README.md and doc/korvanda.1 say what the
# table says, or, with -DWRITE=ON, puts the table's words into them:
#   cmake -DSOURCE_DIR=. [-DWRITE=ON] -P cmake/exit_statuses.cmake

# Reads the table: korvanda_status_keys lists the names; for each,
# korvanda_status_<name>_linux, _windows, _meaning, _after and _cause.
macro(korvanda_read_statuses table)
  file(READ ${table} korvanda_table_text)
  if(korvanda_table_text MATCHES ";")
    message(FATAL_ERROR "${table}: no ';' in the table, please")
  endif()
  string(REGEX MATCHALL "\n[a-z-]+\t[^\n]*" korvanda_table_rows
         "\n${korvanda_table_text}")
  set(korvanda_status_keys)
  foreach(row IN LISTS korvanda_table_rows)
    if(NOT row MATCHES
       "^\n([a-z-]+)\t([^\t]+)\t([^\t]+)\t([^\t]+)\t([^\t]+)\t([^\t]+)$")
      message(FATAL_ERROR "${table}: not a row of six fields:${row}")
    endif()
    list(APPEND korvanda_status_keys ${CMAKE_MATCH_1})
    set(korvanda_status_${CMAKE_MATCH_1}_linux "${CMAKE_MATCH_2}")
    set(korvanda_status_${CMAKE_MATCH_1}_windows "${CMAKE_MATCH_3}")
    set(korvanda_status_${CMAKE_MATCH_1}_meaning "${CMAKE_MATCH_4}")
    set(korvanda_status_${CMAKE_MATCH_1}_after "${CMAKE_MATCH_5}")
    set(korvanda_status_${CMAKE_MATCH_1}_cause "${CMAKE_MATCH_6}")
  endforeach()
endmacro()

# The statuses named by `keys` (a stop place's) as one system's codes:
# "2, 21, 16, 13 or another system code".
function(korvanda_codes_of keys system out)
  set(codes)
  foreach(key IN LISTS keys)
    if(NOT DEFINED korvanda_status_${key}_${system})
      message(FATAL_ERROR "no exit status named ${key}")
    endif()
    set(code "${korvanda_status_${key}_${system}}")
    if(code STREQUAL "*")
      list(APPEND codes "another system code")
    elseif(NOT code STREQUAL "-")
      list(APPEND codes "${code}")
    endif()
  endforeach()
  # One code can stand for two rows at a place (5 on Windows: a folder, or
  # access refused): it is listed once.
  list(REMOVE_DUPLICATES codes)
  list(POP_BACK codes last)
  list(JOIN codes ", " text)
  if(text)
    set(text "${text} or ${last}")
  else()
    set(text "${last}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The rows of the map's status section for one system: "status", the
# row's name, the code, what happened, korvanda.out afterwards.
function(korvanda_map_statuses system out)
  set(text "# Exit statuses: the word status, the row's name, the code, what happened, korvanda.out afterwards.\n")
  foreach(key IN LISTS korvanda_status_keys)
    set(code "${korvanda_status_${key}_${system}}")
    if(NOT code STREQUAL "-")
      string(APPEND text "status\t${key}\t${code}\t"
             "${korvanda_status_${key}_meaning}\t"
             "${korvanda_status_${key}_after}\n")
    endif()
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# README's table, a line a row: the cause in a few words (the manual page
# and korvanda-explain give it whole, and what korvanda.out holds after).
function(korvanda_markdown_statuses out)
  set(text "| Exit status | Cause |\n|---|---|\n")
  foreach(key IN LISTS korvanda_status_keys)
    set(linux "${korvanda_status_${key}_linux}")
    set(windows "${korvanda_status_${key}_windows}")
    if(linux STREQUAL "*")
      set(code "other")
    elseif(linux STREQUAL windows)
      set(code "${linux}")
    elseif(windows STREQUAL "-")
      set(code "${linux} (Linux)")
    else()
      set(code "${linux} (Linux), ${windows} (Windows)")
    endif()
    set(row "| ${code} | ${korvanda_status_${key}_cause} |")
    string(REGEX REPLACE "korvanda\\.(in|out)" "`korvanda.\\1`" row "${row}")
    string(APPEND text "${row}\n")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A status as one system's lists show it: its code, "other" for any
# system code, or nothing where that system has no such status.
function(korvanda_listed_code key system out)
  set(code "${korvanda_status_${key}_${system}}")
  if(code STREQUAL "-")
    set(code "")
  elseif(code STREQUAL "*")
    set(code "other")
  endif()
  set(${out} "${code}" PARENT_SCOPE)
endfunction()

# The manual page's list, for the Linux program it is installed with.
function(korvanda_roff_statuses out)
  set(text "")
  foreach(key IN LISTS korvanda_status_keys)
    korvanda_listed_code(${key} linux code)
    if(code STREQUAL "")
      continue()
    endif()
    set(meaning "${korvanda_status_${key}_meaning}")
    string(SUBSTRING "${meaning}" 0 1 first)
    string(SUBSTRING "${meaning}" 1 -1 rest)
    if(NOT meaning MATCHES "^korvanda[.]")  # a file's name keeps its case
      string(TOUPPER "${first}" first)
    endif()
    string(CONCAT entry ".TP\n.B ${code}\n${first}${rest}.\n"
           "Afterwards korvanda.out: ${korvanda_status_${key}_after}.\n")
    string(REGEX REPLACE "korvanda\\.(in|out)" "\\\\fIkorvanda.\\1\\\\fR" entry
           "${entry}")
    string(REPLACE "-" "\\-" entry "${entry}")
    string(REPLACE ".TP\n.B \\-" ".TP\n.B -" entry "${entry}")
    string(APPEND text "${entry}")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Replaces, or checks, the part of `file` from the line `first` up to the
# line before `next`.
function(korvanda_render_into file first next expected)
  file(READ ${file} text)
  string(FIND "${text}" "${first}" start)
  string(FIND "${text}" "${next}" end)
  if(start LESS 0 OR end LESS start)
    message(FATAL_ERROR "${file} has no '${first}' before '${next}'")
  endif()
  math(EXPR length "${end} - ${start}")
  string(SUBSTRING "${text}" ${start} ${length} found)
  if(found STREQUAL expected)
    return()
  endif()
  if(WRITE)
    string(SUBSTRING "${text}" 0 ${start} before)
    string(SUBSTRING "${text}" ${end} -1 after)
    file(WRITE ${file} "${before}${expected}${after}")
    message(STATUS "${file}: the exit statuses rewritten from the table")
  else()
    message(NOTICE "${file} should read, from '${first}' on:\n${expected}")
    message(SEND_ERROR "${file} does not say what solver/exit_statuses.txt "
      "says (cmake -DSOURCE_DIR=. -DWRITE=ON -P cmake/exit_statuses.cmake "
      "writes it)")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  korvanda_read_statuses(${SOURCE_DIR}/solver/exit_statuses.txt)
  korvanda_markdown_statuses(markdown)
  korvanda_render_into(${SOURCE_DIR}/README.md
    "| Exit status | Cause |" "\n`man korvanda` gives" "${markdown}")
  korvanda_roff_statuses(roff)
  korvanda_render_into(${SOURCE_DIR}/doc/korvanda.1
    ".TP\n.B 0\n" ".SH REPORT LINE" "${roff}")
endif()
