# One version wherever a release names it: the project's (CMakeLists.txt),
# the upstream part of the last entry of debian/changelog (1.1.0 of
# 1.1.0-1), the first of NEWS, the manual pages' headers and what
# korvanda-explain --version prints. Run as a test:
#   cmake -DSOURCE_DIR=. -P cmake/release_version.cmake
file(STRINGS ${SOURCE_DIR}/CMakeLists.txt project
     REGEX "^project\\(korvanda VERSION [0-9.]+ ")
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" version "${project}")
if(NOT version)
  message(FATAL_ERROR "CMakeLists.txt names no version of korvanda")
endif()
set(expected
  "debian/changelog|^korvanda \\(${version}-[0-9]+\\) "
  "NEWS|^korvanda ${version} "
  "doc/korvanda.1|\"korvanda ${version}\""
  "doc/korvanda-explain.1|\"korvanda ${version}\"")
foreach(check IN LISTS expected)
  string(REPLACE "|" ";" check "${check}")
  list(GET check 0 file)
  list(GET check 1 pattern)
  file(STRINGS ${SOURCE_DIR}/${file} first LIMIT_COUNT 1)
  if(NOT first MATCHES "${pattern}")
    message(SEND_ERROR "${file} does not begin with version ${version} "
      "(CMakeLists.txt's): ${first}")
  endif()
endforeach()
# korvanda-explain --version; the tag a .deb's holder builds again from.
file(STRINGS ${SOURCE_DIR}/scripts/explain-stop.sh said REGEX "^version=")
file(STRINGS ${SOURCE_DIR}/debian/changelog tag REGEX "upstream tag" LIMIT_COUNT 1)
if(NOT said STREQUAL "version=${version}" OR NOT tag MATCHES "tag v${version}\\.$")
  message(SEND_ERROR "not version ${version}: explain-stop.sh ${said}; ${tag}")
endif()
