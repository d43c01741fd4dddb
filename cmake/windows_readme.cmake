# README.txt of the Windows .zip: doc/README.windows.txt, written for a
# Windows user, with what it shares with README.md and the manual page
# taken from them, so that the three cannot drift apart:
#   @ABOUT@     README.md's opening and "What it computes"
#   @INPUT@     README.md's "Input" section
#   @STATUSES@  the Windows rows of solver/exit_statuses.txt
#   @WINDOWS@   the manual page's WINDOWS section
#   @VERSION@, @STOP_VALUE@, @STOP_LINE@: the version, and the map's line
#               for the place a misordered position stops at
# Paragraphs are wrapped anew at 72 columns; line ends are CR LF.
include(${CMAKE_CURRENT_LIST_DIR}/exit_statuses.cmake)
# Lists are joined by ';': while text is cut into words and paragraphs, a
# ';' of its own stands as this byte.
string(ASCII 1 korvanda_semicolon)
# and a space that must not break a line, as this one.
string(ASCII 2 korvanda_space)

# `text` as lines of at most 72 columns, the first starting with `first`,
# the others with `rest`.
function(korvanda_wrap text first rest out)
  string(REGEX MATCHALL "[^ \n]+" words "${text}")
  set(result "")
  set(line "${first}")
  set(empty TRUE)
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(empty)
      string(APPEND line "${word}")
      set(empty FALSE)
    elseif(length GREATER 72)
      string(APPEND result "${line}\n")
      set(line "${rest}${word}")
    else()
      string(APPEND line " ${word}")
    endif()
  endforeach()
  set(${out} "${result}${line}\n" PARENT_SCOPE)
endfunction()

# Markdown as plain text: paragraphs and list items wrapped, code blocks
# kept, no marks.
function(korvanda_plain_markdown markdown out)
  string(REPLACE ";" "${korvanda_semicolon}" markdown "${markdown}")
  # What is quoted as code stays on one line.
  while(markdown MATCHES "`([^`]*)`")
    set(code "${CMAKE_MATCH_1}")
    string(REPLACE " " "${korvanda_space}" kept "${code}")
    string(REPLACE "`${code}`" "${kept}" markdown "${markdown}")
  endwhile()
  string(REGEX REPLACE "\\*([^*]+)\\*" "\\1" markdown "${markdown}")
  string(REGEX REPLACE "\\[([^]]*)\\]\\([^)]*\\)" "\\1" markdown "${markdown}")
  string(STRIP "${markdown}" markdown)
  string(REGEX REPLACE "\n\n+" ";" paragraphs "${markdown}")
  set(text "")
  foreach(paragraph IN LISTS paragraphs)
    if(paragraph MATCHES "^    ")
      set(wrapped "${paragraph}\n")
    elseif(paragraph MATCHES "^(- |[0-9]+[.] )")
      string(REGEX REPLACE "\n(- |[0-9]+[.] )" ";\\1" items "${paragraph}")
      set(wrapped "")
      foreach(item IN LISTS items)
        string(REGEX MATCH "^[^ ]+ " mark "${item}")
        string(LENGTH "${mark}" length)
        string(SUBSTRING "${item}" ${length} -1 item)
        string(REGEX REPLACE "." " " indent "${mark}")
        korvanda_wrap("${item}" "${mark}" "${indent}" lines)
        string(APPEND wrapped "${lines}")
      endforeach()
    else()
      korvanda_wrap("${paragraph}" "" "" wrapped)
    endif()
    string(APPEND text "\n${wrapped}")
  endforeach()
  string(SUBSTRING "${text}" 1 -1 text)
  string(REPLACE "${korvanda_semicolon}" ";" text "${text}")
  string(REPLACE "${korvanda_space}" " " text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The part of `text` after the line `first` (in `file`), up to where
# `next` begins.
function(korvanda_part text file first next out)
  string(FIND "${text}" "${first}" start)
  if(start LESS 0)
    message(FATAL_ERROR "${file} has no line '${first}'")
  endif()
  string(LENGTH "${first}" length)
  math(EXPR start "${start} + ${length}")
  string(SUBSTRING "${text}" ${start} -1 part)
  string(FIND "${part}" "${next}" end)
  string(SUBSTRING "${part}" 0 ${end} part)
  set(${out} "${part}" PARENT_SCOPE)
endfunction()

# The part of README.md from the line `first` to the next heading, that
# line left out.
function(korvanda_markdown_part markdown first out)
  korvanda_part("${markdown}" README.md "${first}\n" "\n#" part)
  set(${out} "${part}" PARENT_SCOPE)
endfunction()

# A section of the manual page as plain, wrapped paragraphs: the macros it
# uses for fonts and paragraphs, and its escapes.
function(korvanda_plain_roff roff section out)
  string(REPLACE ";" "${korvanda_semicolon}" roff "${roff}")
  korvanda_part("${roff}" doc/korvanda.1 "\n.SH ${section}\n" "\n.SH " part)
  string(REPLACE "\n" ";" lines "${part}")
  set(paragraph "")
  set(text "")
  foreach(line IN LISTS lines ITEMS ._end)
    if(line MATCHES "^[.](B|I|BR|IR|RI|RB|BI|IB) (.*)$")
      # One font joins its words with spaces, two alternate without.
      set(arguments "${CMAKE_MATCH_2}")
      set(join "")
      if(CMAKE_MATCH_1 MATCHES "^[BI]$")
        set(join " ")
      endif()
      string(REGEX MATCHALL "\"[^\"]*\"|[^ \"]+" words "${arguments}")
      list(TRANSFORM words REPLACE "^\"(.*)\"$" "\\1")
      list(JOIN words "${join}" line)
    elseif(line MATCHES "^[.]")
      if(NOT paragraph STREQUAL "")
        korvanda_wrap("${paragraph}" "" "" wrapped)
        string(APPEND text "\n${wrapped}")
      endif()
      set(paragraph "")
      continue()
    endif()
    string(APPEND paragraph " ${line}")
  endforeach()
  string(SUBSTRING "${text}" 1 -1 text)
  string(REGEX REPLACE "\\\\f[BIRP]" "" text "${text}")
  string(REPLACE "\\-" "-" text "${text}")
  string(REPLACE "\\e" "\\" text "${text}")
  string(REPLACE "${korvanda_semicolon}" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Every Windows exit status: the code, its cause, korvanda.out after it.
function(korvanda_text_statuses out)
  set(text "")
  foreach(key IN LISTS korvanda_status_keys)
    korvanda_listed_code(${key} windows code)
    if(code STREQUAL "")
      continue()
    endif()
    string(SUBSTRING "${code}       " 0 7 code)
    korvanda_wrap("${korvanda_status_${key}_cause}." "${code}" "       "
      cause)
    korvanda_wrap("korvanda.out afterwards: ${korvanda_status_${key}_after}."
      "       " "       " after)
    string(APPEND text "${cause}${after}\n")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Writes README.txt for the built program whose map is `map`.
function(korvanda_windows_readme source_dir map output)
  file(READ ${source_dir}/README.md markdown)
  korvanda_markdown_part("${markdown}" "# korvanda" about)
  korvanda_markdown_part("${markdown}" "## What it computes" computes)
  korvanda_plain_markdown("${about}\n\n${computes}" ABOUT)
  korvanda_markdown_part("${markdown}" "## Input: `korvanda.in`" input)
  korvanda_plain_markdown("${input}" INPUT)
  korvanda_read_statuses(${source_dir}/solver/exit_statuses.txt)
  korvanda_text_statuses(STATUSES)
  file(READ ${source_dir}/doc/korvanda.1 roff)
  korvanda_plain_roff("${roff}" WINDOWS WINDOWS)
  file(STRINGS ${map} STOP_LINE REGEX "^[0-9A-F]+\tsolver/[^\t]*\tposition_order\t")
  if(NOT STOP_LINE)
    message(FATAL_ERROR "${map} has no place position_order")
  endif()
  string(SUBSTRING "${STOP_LINE}" 0 8 STOP_VALUE)
  file(STRINGS ${source_dir}/CMakeLists.txt VERSION
       REGEX "^project\\(korvanda VERSION ")
  string(REGEX REPLACE "^project\\(korvanda VERSION ([0-9.]+) .*" "\\1" VERSION
         "${VERSION}")
  file(READ ${source_dir}/doc/README.windows.txt template)
  string(CONFIGURE "${template}" text @ONLY)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${output} "${text}")
endfunction()

# Run as a script it writes README.txt alone, for any build's map:
#   cmake -DSOURCE_DIR=. -DMAP=... -DOUTPUT=... -P cmake/windows_readme.cmake
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  korvanda_windows_readme(${SOURCE_DIR} ${MAP} ${OUTPUT})
endif()
