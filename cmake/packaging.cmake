# Debian package: cpack -G DEB in the build folder.
set(CPACK_PACKAGE_NAME skarvel)
set(CPACK_PACKAGE_VENDOR "skarvel developers")
set(CPACK_PACKAGE_CONTACT "skarvel developers <skarvel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "daily and monthly means of hydrological model time series")
set(CPACK_PACKAGE_DESCRIPTION
    "skarvel reads the time-series output of a hydrological model run (header lines, then one
row per time step with year, month, day, hour and value columns) and writes the daily and
monthly means of every column, skipping missing values, as tab-separated text files beside
the input.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "skarvel developers <skarvel@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The packages of the shared libraries the tool links to, as dpkg-shlibdeps finds them: the C and
# C++ runtimes, and the compression libraries its decoders use (libisal2 or zlib1g, libzstd1,
# liblzma5, libbz2-1.0).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  # The Windows ZIP: cpack in the build folder, or the windows workflow preset.
  set(CPACK_GENERATOR ZIP)
endif()
include(CPack)
