# What `cmake --install` puts in place and what cpack packs: the program,
# the map of its stop places and, on Linux, the script that reads a report
# line against that map, with their manual pages and the files a Debian
# package carries. A .deb for Linux, a .zip for Windows.
include(GNUInstallDirs)

# Same source, same package, whoever builds it, wherever and whenever: the
# files' times are the source's time, SOURCE_DATE_EPOCH, taken from the
# last commit when it is not set, else from the changelog's last entry (as
# Debian takes it).
set(KORVANDA_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(NOT KORVANDA_SOURCE_DATE_EPOCH)
  # Only a checkout of this project's own, whoever owns it: not one that a
  # copy of the source happens to lie inside.
  set(git git -c safe.directory=* -C ${PROJECT_SOURCE_DIR})
  execute_process(COMMAND ${git} rev-parse --show-toplevel
    OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  file(REAL_PATH "${PROJECT_SOURCE_DIR}" source_folder)
  if(top AND EXISTS "${top}")
    file(REAL_PATH "${top}" top)
  endif()
  if(top STREQUAL source_folder)
    execute_process(COMMAND ${git} log -1 --format=%ct
      OUTPUT_VARIABLE KORVANDA_SOURCE_DATE_EPOCH
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()
if(NOT KORVANDA_SOURCE_DATE_EPOCH)
  file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog trailer
       REGEX "^ -- .*  ")
  list(GET trailer 0 trailer)
  string(REGEX REPLACE "^ -- .*  " "" date "${trailer}")
  execute_process(COMMAND date -u -d "${date}" +%s
    OUTPUT_VARIABLE KORVANDA_SOURCE_DATE_EPOCH
    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endif()
if(WIN32)
  set(korvanda_program_dir .)
  set(korvanda_map_dir .)
else()
  set(korvanda_program_dir ${CMAKE_INSTALL_BINDIR})
  set(korvanda_map_dir ${CMAKE_INSTALL_DATADIR}/korvanda)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/explain-stop.sh
    DESTINATION ${korvanda_program_dir} RENAME korvanda-explain)

  # Manual pages and the changelog go compressed, as Debian keeps them;
  # -n leaves out the time, so the same sources give the same package.
  set(korvanda_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/korvanda)
  set(compressed)
  foreach(source doc/korvanda.1 doc/korvanda-explain.1 packaging/changelog)
    get_filename_component(name ${source} NAME)
    set(target ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}.gz)
    add_custom_command(OUTPUT ${target}
      COMMAND ${CMAKE_COMMAND} -E make_directory packaging
      COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/${source} > ${target}
      DEPENDS ${PROJECT_SOURCE_DIR}/${source}
      VERBATIM)
    list(APPEND compressed ${target})
  endforeach()
  add_custom_target(korvanda_package_files ALL DEPENDS ${compressed})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/korvanda.1.gz
    ${CMAKE_CURRENT_BINARY_DIR}/packaging/korvanda-explain.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
    ${PROJECT_SOURCE_DIR}/packaging/copyright
    DESTINATION ${korvanda_doc_dir})
  if(KORVANDA_HAVE_STATIC_PIE)
    set(korvanda_static_tag shared-library-lacks-prerequisites)
  else()
    set(korvanda_static_tag statically-linked-binary)
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/packaging/lintian-overrides.in
    packaging/lintian-overrides @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME korvanda)
endif()
install(TARGETS korvanda RUNTIME DESTINATION ${korvanda_program_dir})
install(FILES $<TARGET_FILE_DIR:korvanda>/korvanda.stops.txt
  DESTINATION ${korvanda_map_dir})

# Read by cpack as it starts, for each package it makes: the source's
# time, a time zone for the .zip's DOS times, and the umask that the
# package's own headers and folders take their modes from.
configure_file(${PROJECT_SOURCE_DIR}/cmake/package_start.cmake.in
  packaging/package_start.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE
  ${CMAKE_CURRENT_BINARY_DIR}/packaging/package_start.cmake)
# And after it: the builder's user out of the .zip.
set(CPACK_POST_BUILD_SCRIPTS
  ${PROJECT_SOURCE_DIR}/cmake/reproducible_package.cmake)
set(CPACK_PACKAGE_NAME korvanda)
set(CPACK_PACKAGE_VENDOR "korvanda developers")
set(CPACK_PACKAGE_CONTACT "korvanda developers <dev@korvanda.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "batch program: the narrowest gap between neighbouring points")
# The extended description, a line each, as the control file shows it.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "korvanda reads N points on a line from korvanda.in in the current"
  "directory, checks them, finds the narrowest gap between neighbouring"
  "points over a fixed window and writes its answer to korvanda.out. It"
  "takes no arguments and ends with an exact exit status; a failure also"
  "prints one 32-byte report line on standard output."
  ""
  "korvanda-explain names the check in the program behind such a line.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# The program's symbols only serve the map of stop places, which the
# build writes from the unstripped link; stripping moves no code, so the
# map still reads the installed program's lines.
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME
    "korvanda-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # korvanda_1.0.0_amd64.deb
  # The processor the program was built for, not the one building it.
  set(deb_architecture ${CMAKE_SYSTEM_PROCESSOR})
  if(deb_architecture STREQUAL x86_64)
    set(deb_architecture amd64)
  elseif(deb_architecture STREQUAL aarch64)
    set(deb_architecture arm64)
  endif()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${deb_architecture})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # No dependencies, on purpose: the program is linked statically and
  # korvanda-explain needs only bash, awk and coreutils, which every
  # Debian system has (cpack says so in a status line).
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "")
endif()
include(CPack)
