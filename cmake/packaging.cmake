# What `cmake --install` puts in place: the program and the map of its stop
# places; on Linux also korvanda-explain, which reads a report line against
# that map, and the manual pages. debian/ builds the Debian package from
# exactly this; on Windows the target `zip` packs it with NEWS, the licence
# and README.
include(GNUInstallDirs)
if(WIN32)
  install(TARGETS korvanda RUNTIME DESTINATION .)
  install(FILES $<TARGET_FILE_DIR:korvanda>/korvanda.stops.txt DESTINATION .)
  # Same source, same .zip: fixed modes, the release's date from the first
  # entry of NEWS, "korvanda 1.1.0 (2026-12-09)", no builder's user.
  file(STRINGS ${PROJECT_SOURCE_DIR}/NEWS release LIMIT_COUNT 1)
  string(REGEX REPLACE "^korvanda [0-9.]+ \\(([0-9-]+)\\)$" "\\1"
         release_date "${release}")
  add_custom_target(zip
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:korvanda>
      -DMAP=$<TARGET_FILE_DIR:korvanda>/korvanda.stops.txt
      -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
      "-DDATE=${release_date} 00:00:00 UTC"
      -DOUTPUT=${CMAKE_BINARY_DIR}/korvanda-${PROJECT_VERSION}-windows-x86_64.zip
      -P ${PROJECT_SOURCE_DIR}/cmake/windows_zip.cmake
    DEPENDS korvanda
    VERBATIM)
else()
  install(TARGETS korvanda RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/explain-stop.sh
    DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME korvanda-explain)
  install(FILES $<TARGET_FILE_DIR:korvanda>/korvanda.stops.txt
    DESTINATION ${CMAKE_INSTALL_DATADIR}/korvanda)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/korvanda.1
    ${PROJECT_SOURCE_DIR}/doc/korvanda-explain.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # The static program, for any distribution: what the above installs, as
  # a bin/ and share/ tree in a tarball of its own, with README, NEWS, the
  # licence, the example and the C library's notice. scripts/linux-release.sh
  # makes the release's three.
  if(KORVANDA_STATIC)
    set(tarball korvanda-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
    add_custom_target(linux-tarball
      COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
        -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DVERSION=${PROJECT_VERSION}
        -DPROCESSOR=${CMAKE_SYSTEM_PROCESSOR}
        -DCOMPILER=${CMAKE_CXX_COMPILER}
        -DOUTPUT=${CMAKE_BINARY_DIR}/${tarball}.tar.xz
        -P ${PROJECT_SOURCE_DIR}/cmake/linux_tarball.cmake
      DEPENDS korvanda
      VERBATIM)
  endif()
endif()
