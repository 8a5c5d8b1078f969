# uchardet::uchardet, the library --detect names a table's character set
# with.
#
# POSIX: the system's shared library, found with pkg-config.
# Windows: a static library built from Debian's uchardet source package with
# the same MinGW-w64 toolchain, so that no DLL has to travel with the exe. Its
# notice, for the ZIP, is written to THIRD-PARTY-NOTICES.txt in the build
# folder (UCHARDET_NOTICE names it).

if(NOT WIN32)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(UCHARDET QUIET IMPORTED_TARGET GLOBAL uchardet)
  endif()
  if(NOT UCHARDET_FOUND)
    message(FATAL_ERROR "uchardet not found through pkg-config. On Debian, install the packages "
                        "libuchardet-dev and pkg-config (scripts/install-deps.sh does).")
  endif()
  add_library(uchardet::uchardet ALIAS PkgConfig::UCHARDET)
  return()
endif()

set(TABLEMARK_UCHARDET_SOURCE "${PROJECT_SOURCE_DIR}/build/uchardet-source"
    CACHE PATH "Debian's uchardet source package, unpacked")
set(uchardet_source "${TABLEMARK_UCHARDET_SOURCE}")
if(NOT EXISTS "${uchardet_source}/debian/copyright"
   OR NOT EXISTS "${uchardet_source}/src/uchardet.h")
  message(FATAL_ERROR "No uchardet source in ${uchardet_source}: scripts/fetch-uchardet-source.sh "
                      "unpacks Debian's uchardet source package there (scripts/install-deps.sh "
                      "runs it), or set TABLEMARK_UCHARDET_SOURCE to where it is unpacked.")
endif()

# Without TARGET_ARCHITECTURE, uchardet's CMake lower-cases the processor
# name, which a cross build may leave empty. The 32-bit library is built as
# Debian builds its i386 one: uchardet compares floating-point scores, and
# -ffloat-store keeps x87's wider intermediate results out of them without
# asking for SSE2, which the Pentium Pro the exe is built for lacks.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(uchardet_args -DTARGET_ARCHITECTURE=x86_64)
else()
  set(uchardet_args -DTARGET_ARCHITECTURE=x86 -DCHECK_SSE2=OFF)
endif()
if(CMAKE_TOOLCHAIN_FILE)
  list(APPEND uchardet_args -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE})
endif()

include(ExternalProject)
set(uchardet_prefix "${CMAKE_CURRENT_BINARY_DIR}/uchardet")
set(uchardet_library "${uchardet_prefix}/lib/libuchardet.a")
ExternalProject_Add(uchardet_static
  SOURCE_DIR "${uchardet_source}"
  PREFIX "${uchardet_prefix}"
  INSTALL_DIR "${uchardet_prefix}"
  CMAKE_ARGS
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_INSTALL_LIBDIR=lib
    -DBUILD_SHARED_LIBS=OFF
    -DBUILD_BINARY=OFF
    ${uchardet_args}
  # The library alone: its test program, a C program linked with the C
  # compiler, does not link against a static C++ library.
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target libuchardet
  INSTALL_COMMAND ${CMAKE_COMMAND} --install <BINARY_DIR>
  BUILD_BYPRODUCTS "${uchardet_library}"
  LOG_CONFIGURE ON
  LOG_BUILD ON
  LOG_INSTALL ON
  LOG_OUTPUT_ON_FAILURE ON)
# An imported target's include folder must exist when the build is generated.
file(MAKE_DIRECTORY "${uchardet_prefix}/include")
add_library(uchardet::uchardet STATIC IMPORTED GLOBAL)
set_target_properties(uchardet::uchardet PROPERTIES
  IMPORTED_LOCATION "${uchardet_library}"
  INTERFACE_INCLUDE_DIRECTORIES "${uchardet_prefix}/include")
add_dependencies(uchardet::uchardet uchardet_static)

# The notice: what the exe holds, where its source is, the copyright file of
# the source package and the licence texts that file names. A source fetched
# anew brings a new notice.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${uchardet_source}/debian/changelog" "${uchardet_source}/debian/copyright"
  "${uchardet_source}/COPYING" "${PROJECT_SOURCE_DIR}/docs/THIRD-PARTY-NOTICES.txt.in")
file(STRINGS "${uchardet_source}/debian/changelog" UCHARDET_DEBIAN_VERSION LIMIT_COUNT 1)
string(REGEX REPLACE "^uchardet \\(([^)]+)\\).*" "\\1" UCHARDET_DEBIAN_VERSION
       "${UCHARDET_DEBIAN_VERSION}")
set(UCHARDET_USE "Tablemark.exe holds it, unchanged, as a static library.")
file(READ "${uchardet_source}/debian/copyright" UCHARDET_COPYRIGHT)
file(READ "${uchardet_source}/COPYING" UCHARDET_LICENCE_TEXTS)
string(PREPEND UCHARDET_LICENCE_TEXTS "\nThe licence texts it names (on Debian in "
       "/usr/share/common-licenses), from the file COPYING of the same source package:\n\n")
file(READ "${PROJECT_SOURCE_DIR}/docs/THIRD-PARTY-NOTICES.txt.in" uchardet_notice)
string(CONFIGURE "${uchardet_notice}" uchardet_notice @ONLY)
string(REPLACE "\n" "\r\n" uchardet_notice "${uchardet_notice}")
string(ASCII 239 187 191 uchardet_bom)
set(UCHARDET_NOTICE "${CMAKE_CURRENT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt")
file(WRITE "${UCHARDET_NOTICE}" "${uchardet_bom}${uchardet_notice}")
