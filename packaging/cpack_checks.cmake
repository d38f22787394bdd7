# Read by cpack: a package says who made it.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
  message(FATAL_ERROR "The package needs a maintainer: configure with -DKOTOBUNE_DEBIAN_MAINTAINER=\"Name <address>\", "
                      "or set DEBFULLNAME and DEBEMAIL before configuring.")
endif()
