# Debian package through CPack: `cpack -G DEB` in the build tree. The
# runtime dependencies are read off the binary by dpkg-shlibdeps.
set(WZX_PACKAGE_MAINTAINER "wzx2bmp maintainers <maintainers@wzx2bmp.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wzx2bmp)
set(CPACK_PACKAGE_VENDOR "wzx2bmp maintainers")
set(CPACK_PACKAGE_CONTACT "${WZX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert WZX5 raw images into BMP files")
# Wrapped here, because the control file keeps the lines as they are.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "wzx2bmp converts still images stored in the WZX5 raw container into\n"
    "uncompressed 24- or 32-bit BMP files, one file or a whole wildcard batch\n"
    "per run. It undoes the container's sliding-window compression and its\n"
    "colour and neighbour prediction.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian keeps manual pages gzip-compressed; the staged tree is fixed up
# just before the package is built.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress_man_pages.cmake)

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/;/\\\\.git$;/build/;/out/")

include(CPack)
