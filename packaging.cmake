# `make package` (cmake --build build --target package): a Debian package of the
# installed tree. Its dependencies are read from the program and the plug-ins
# by dpkg-shlibdeps (Debian: dpkg-dev); Debian's triggers then refresh the menu,
# the file types and the icon cache when it is installed.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vistrom)
set(CPACK_PACKAGE_VENDOR "The Vistrom developers")
set(VISTROM_PACKAGE_MAINTAINER "The Vistrom developers <vistrom@localhost>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${VISTROM_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn an ordered list of still images into an AVI movie")
set(CPACK_PACKAGE_DESCRIPTION
    "Vistrom makes a movie from a list of still images: row n of the list is frame n,
and a blank row keeps showing the picture before it. It sets the frame rate, the
movie size and the colour depth, adds a WAV sound track, and writes an AVI file
with any compressor the installed FFmpeg libraries offer. BMP, JPEG and PNG
images are read. A command line converter needs no display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The translation of Qt's own dialogs that the Japanese window loads.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ffmpeg")

include(CPack)
