# The Debian package: `cpack -G DEB` in a native release build makes
# tablemark_<version>_<arch>.deb. CPack installs the usual files into its
# staging folder; debian-staging.cmake then puts the documents into the form
# Debian's policy asks for (a compressed manual page and changelog, the
# licence as a machine-readable copyright file, uchardet's notice).

set(TABLEMARK_MAINTAINER "Tablemark developers <tablemark@example.org>"
    CACHE STRING "The Debian package's maintainer, name and address")

# The copyright file in Debian's machine-readable format, its licence text
# taken from LICENSE so that the two cannot drift apart. Debian's name for
# the MIT licence is Expat ("MIT" names several).
file(READ LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" copyright_line "${licence}")
set(copyright_holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]*\n\n" "" licence_body "${licence}")
string(STRIP "${licence_body}" licence_body)
string(REPLACE "\n\n" "\n.\n" licence_body "${licence_body}")
string(REPLACE "\n" "\n " licence_body "${licence_body}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Tablemark

Files: *
Copyright: ${copyright_holder}
License: Expat
 ${licence_body}
")

# uchardet's notice. The program loads the library from Debian's package
# libuchardet0, so the notice repeats that package's copyright file, which
# names the licence texts under /usr/share/common-licenses.
set(uchardet_copyright /usr/share/doc/libuchardet0/copyright)
if(EXISTS ${uchardet_copyright})
  execute_process(COMMAND dpkg-query -W --showformat=\${source:Version} libuchardet0
                  OUTPUT_VARIABLE UCHARDET_DEBIAN_VERSION COMMAND_ERROR_IS_FATAL ANY)
  set(UCHARDET_USE "The program loads it at run time from Debian's package libuchardet0.")
  file(READ ${uchardet_copyright} UCHARDET_COPYRIGHT)
  set(UCHARDET_LICENCE_TEXTS "")
  configure_file(docs/THIRD-PARTY-NOTICES.txt.in ${CMAKE_CURRENT_BINARY_DIR}/THIRD-PARTY-NOTICES
                 @ONLY)
  set(CPACK_TABLEMARK_UCHARDET_NOTICE ${CMAKE_CURRENT_BINARY_DIR}/THIRD-PARTY-NOTICES)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${uchardet_copyright})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tablemark)
set(CPACK_PACKAGE_CONTACT "${TABLEMARK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stamp a code page into the headers of Visual FoxPro tables")
set(CPACK_PACKAGE_DESCRIPTION
    "Tablemark sets the code-page mark (byte 29 of the header) of every Visual
FoxPro table-type file (DBF, SCX, VCX, FRX, LBX, MNX, DBC, PJX) in one
directory to the mark of a Windows code page. It is for tables whose text is
in one code page while their mark names another, or none. It changes the
mark only: it does not convert the text. Nothing else in any file changes.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by name when --detect first needs it, so no linker tells dpkg of it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libuchardet0 (>= 0.0.7)")
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian-staging.cmake)
set(CPACK_TABLEMARK_COPYRIGHT ${CMAKE_CURRENT_BINARY_DIR}/copyright)
set(CPACK_TABLEMARK_MANDIR ${CMAKE_INSTALL_MANDIR})
set(CPACK_TABLEMARK_DOCDIR ${TABLEMARK_DOCDIR})
include(CPack)
