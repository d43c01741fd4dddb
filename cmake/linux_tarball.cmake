# Packs a static Linux program for one processor as a user of any
# distribution unpacks it, korvanda-VERSION-linux-PROCESSOR.tar.xz: what
# `cmake --install` puts under a prefix (bin/korvanda, bin/korvanda-explain,
# which finds the map in ../share/korvanda/, the manual pages), the example
# where the .deb has it, README, NEWS, LICENSE, and the notice of the C
# library linked into the program. The same to the byte whoever builds it,
# wherever, whenever, under whatever umask. Run by the target
# `linux-tarball`:
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DVERSION=... -DPROCESSOR=...
#         -DCOMPILER=... -DOUTPUT=... -P linux_tarball.cmake
# Every entry carries the release's date, the first entry of NEWS.
file(STRINGS ${SOURCE_DIR}/NEWS release LIMIT_COUNT 1)
string(REGEX REPLACE "^korvanda [0-9.]+ \\(([0-9-]+)\\)$" "\\1" date
       "${release}")
execute_process(COMMAND date -u -d "${date} 00:00:00 UTC" +%s
  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
set(name korvanda-${VERSION}-linux-${PROCESSOR})
get_filename_component(stage ${OUTPUT}.contents ABSOLUTE)
set(top ${stage}/${name})
file(REMOVE_RECURSE ${stage})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${top}
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(COPY ${SOURCE_DIR}/README.md ${SOURCE_DIR}/NEWS ${SOURCE_DIR}/LICENSE
  DESTINATION ${top})
file(COPY ${SOURCE_DIR}/examples/korvanda.in
  DESTINATION ${top}/share/doc/korvanda/examples)

# The C library is in the program (LGPL-2.1 or later): its copyright as the
# Debian package that gave it has it, the licence, and where its source
# and the program's own are, from which the program is linked again
# against another build of the library.
execute_process(COMMAND ${COMPILER} -print-file-name=libc.a
  OUTPUT_VARIABLE libc OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
file(REAL_PATH ${libc} libc)
execute_process(COMMAND dpkg-query -S ${libc}
  OUTPUT_VARIABLE owner OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
string(REGEX REPLACE "[:,].*" "" package "${owner}")
execute_process(COMMAND dpkg-query -W
    "-f=\${Version}\t\${source:Package}\t\${source:Version}" ${package}
  OUTPUT_VARIABLE found COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\t" ";" found "${found}")
list(GET found 0 package_version)
list(GET found 1 source)
list(GET found 2 source_version)
file(READ /usr/share/doc/${package}/copyright copyright)
file(WRITE ${top}/glibc/copyright "${copyright}")
file(READ /usr/share/common-licenses/LGPL-2.1 licence)
file(WRITE ${top}/glibc/LGPL-2.1 "${licence}")
file(WRITE ${top}/glibc/NOTICE "\
bin/korvanda holds the GNU C Library (glibc), linked into it statically:
Debian 12's ${package} ${package_version}, built from the Debian source
package ${source} ${source_version}. The GNU C Library is free software under
the GNU Lesser General Public License, version 2.1 or later: its copyright
is in glibc/copyright, the licence in glibc/LGPL-2.1.

Its source: on Debian, apt-get source ${source}=${source_version}; or
https://snapshot.debian.org/package/${source}/${source_version}/

korvanda's own source, from which bin/korvanda is built and linked again
(against another build of the C library too): korvanda-${VERSION}.tar.xz,
released beside this tarball, under the MIT licence (LICENSE).
")

# Owner root, the release's time, and modes as a umask of 022 leaves them.
execute_process(
  COMMAND tar --sort=name --format=gnu --owner=0 --group=0 --numeric-owner
    --mtime=@${epoch} --mode=u+rw,go=u-w -cf - ${name}
  # One thread: xz splits its work, and so its output, by the threads it has.
  COMMAND xz -6 -T1 -c
  WORKING_DIRECTORY ${stage} OUTPUT_FILE ${OUTPUT}.part
  COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${OUTPUT}.part ${OUTPUT})
file(REMOVE_RECURSE ${stage})
