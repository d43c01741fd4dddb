# What Windows shows under Properties > Details, and what installers and
# inventories read: the program's version resource. Its words come from
# the project's one version, LICENSE's copyright line and the manual
# page's NAME line, so they cannot drift from those. windres writes no
# time into it, and ld puts .rsrc after .text, so the stop places keep
# their values.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE copyright REGEX "^Copyright "
     LIMIT_COUNT 1)
file(STRINGS ${PROJECT_SOURCE_DIR}/doc/korvanda.1 description
     REGEX "^korvanda \\\\- " LIMIT_COUNT 1)
string(REPLACE "\\-" "-" description "${description}")
if(NOT copyright OR NOT description)
  message(FATAL_ERROR "no copyright line in LICENSE or no NAME line in "
    "doc/korvanda.1 for the version resource")
endif()
set(version_numbers
  "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/korvanda.rc @ONLY CONTENT
[[1 VERSIONINFO
FILEVERSION @version_numbers@
PRODUCTVERSION @version_numbers@
FILEFLAGSMASK 0x3f
FILEFLAGS 0
FILEOS 0x40004
FILETYPE 1
FILESUBTYPE 0
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904B0"
    BEGIN
      VALUE "FileDescription", "@description@"
      VALUE "FileVersion", "@PROJECT_VERSION@"
      VALUE "InternalName", "korvanda"
      VALUE "LegalCopyright", "@copyright@"
      VALUE "OriginalFilename", "korvanda.exe"
      VALUE "ProductName", "korvanda"
      VALUE "ProductVersion", "@PROJECT_VERSION@"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
]])
# Compiled apart from the program's sources, which carry C++ flags that
# windres does not take.
add_custom_command(OUTPUT korvanda_version.o
  COMMAND ${CMAKE_RC_COMPILER} -O coff -i korvanda.rc -o korvanda_version.o
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/korvanda.rc
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  VERBATIM)
target_sources(korvanda PRIVATE
  ${CMAKE_CURRENT_BINARY_DIR}/korvanda_version.o)
