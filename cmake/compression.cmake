# The libraries that decode compressed input, each optional: a format without its library is
# refused with a message naming the package (src/series/compressed_input.cpp). gzip is decoded by
# ISA-L on x86-64 where it is found, else by zlib; zstd by libzstd, xz by liblzma, bzip2 by libbz2.
# A Windows build links zlib statically, so skarvel.exe runs alone.
#
# skarvel_add_decoders(<target> <source>): the decoders of the libraries found, in <target>;
#   <source>, the one that picks them, gets SKARVEL_HAVE_<ISAL|ZLIB|ZSTD|LZMA|BZIP2> for each.
# skarvel_compression_libraries: every library found, and its SKARVEL_HAVE_ definition, for tests
#   that make compressed data.

option(SKARVEL_WITHOUT_COMPRESSION "Build no decoder of compressed input (no library is searched)"
       OFF)
option(SKARVEL_USE_ISAL "Decode gzip with ISA-L where it is found (x86-64); OFF: with zlib" ON)

# skarvel_imported_library(<NAME> <target> <header> <library>): a library without a CMake package
# of its own, found by its header and library file (cached as SKARVEL_<NAME>_INCLUDE_DIR and
# SKARVEL_<NAME>_LIBRARY); not searched with CMAKE_DISABLE_FIND_PACKAGE_<NAME>, like the others.
function(skarvel_imported_library name target header library)
  if(CMAKE_DISABLE_FIND_PACKAGE_${name})
    return()
  endif()
  find_path(SKARVEL_${name}_INCLUDE_DIR ${header})
  find_library(SKARVEL_${name}_LIBRARY ${library})
  if(SKARVEL_${name}_INCLUDE_DIR AND SKARVEL_${name}_LIBRARY)
    add_library(${target} UNKNOWN IMPORTED GLOBAL)
    set_target_properties(
      ${target} PROPERTIES IMPORTED_LOCATION "${SKARVEL_${name}_LIBRARY}"
                           INTERFACE_INCLUDE_DIRECTORIES "${SKARVEL_${name}_INCLUDE_DIR}")
  endif()
endfunction()

if(NOT SKARVEL_WITHOUT_COMPRESSION)
  if(WIN32)
    set(ZLIB_USE_STATIC_LIBS ON)
  endif()
  find_package(ZLIB)
  find_package(LibLZMA)
  find_package(BZip2)
  skarvel_imported_library(ZSTD skarvel::zstd zstd.h zstd)
  if(SKARVEL_USE_ISAL AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    skarvel_imported_library(ISAL skarvel::isal isa-l/igzip_lib.h isal)
  endif()
endif()

# Each library: its name, its target, the decoder built on it, what the status line calls that.
set(skarvel_decoders
    ISAL skarvel::isal series/isal_decoder.cpp "gzip (ISA-L)"
    ZLIB ZLIB::ZLIB series/zlib_decoder.cpp "gzip (zlib)"
    ZSTD skarvel::zstd series/zstd_decoder.cpp zstd
    LZMA LibLZMA::LibLZMA series/lzma_decoder.cpp xz
    BZIP2 BZip2::BZip2 series/bzip2_decoder.cpp bzip2)

add_library(skarvel_compression_libraries INTERFACE)
set(libraries ${skarvel_decoders})
while(libraries)
  list(POP_FRONT libraries name library decoder label)
  if(TARGET ${library})
    # The packages' targets are of this folder alone; the tests, in another, link to them too.
    set_target_properties(${library} PROPERTIES IMPORTED_GLOBAL TRUE)
    target_link_libraries(skarvel_compression_libraries INTERFACE ${library})
    target_compile_definitions(skarvel_compression_libraries INTERFACE SKARVEL_HAVE_${name})
  endif()
endwhile()

function(skarvel_add_decoders target source)
  set(decoded "")
  set(libraries ${skarvel_decoders})
  while(libraries)
    list(POP_FRONT libraries name library decoder label)
    if(NOT TARGET ${library} OR (label MATCHES "^gzip" AND decoded MATCHES "gzip"))
      continue()  # not found, or zlib where ISA-L decodes gzip
    endif()
    target_sources(${target} PRIVATE ${decoder})
    target_link_libraries(${target} PRIVATE ${library})
    set_property(SOURCE ${source} APPEND PROPERTY COMPILE_DEFINITIONS SKARVEL_HAVE_${name})
    list(APPEND decoded "${label}")
  endwhile()
  if(NOT decoded)
    set(decoded "none")
  endif()
  list(JOIN decoded ", " decoded)
  message(STATUS "Compressed input decoded: ${decoded}")
endfunction()
