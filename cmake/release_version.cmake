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
# The script is installed as it is, with nothing of the build to ask.
file(STRINGS ${SOURCE_DIR}/scripts/explain-stop.sh said REGEX "^version=")
if(NOT said STREQUAL "version=${version}")
  message(SEND_ERROR "scripts/explain-stop.sh says ${said}, not version=${version}")
endif()
# The Debian package's holder builds it again from the tag its changelog
# names, the release's.
file(STRINGS ${SOURCE_DIR}/debian/changelog tag REGEX "upstream tag v" LIMIT_COUNT 1)
if(NOT tag MATCHES "upstream tag v${version}\\.$")
  message(SEND_ERROR "debian/changelog names no upstream tag v${version}: ${tag}")
endif()
