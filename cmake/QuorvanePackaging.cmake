# `make package`: a Debian package of what the install rules put down.
# The library dependencies (Qt 6, libjpeg62-turbo, the C++ runtime) come from
# dpkg-shlibdeps, so they follow the libraries actually linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvane developers")
set(CPACK_PACKAGE_CONTACT "Quorvane developers <maintainers@users.noreply.c-seed-fd214a24.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "JPEG picture to hexadecimal text and back")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "JPEG picture to hexadecimal text and back
 Quorvane opens a JPEG file, shows it, and writes the file's bytes, unchanged,
 as upper-case hexadecimal digit pairs into a text box; hex text that is
 produced, typed or pasted turns back into a picture. The package also holds
 the command-line companion quorvane-hex when it is built.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUORVANE_HOMEPAGE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without a platform plugin Qt cannot open a window (libqt6gui6 only
# recommends it). libjpeg62-turbo is named as well, so that the package states
# the JPEG library it is built for even where the linker found no symbol of it
# yet. The Chinese captions need a CJK font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, libjpeg62-turbo")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
