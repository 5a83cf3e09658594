# SPDX-License-Identifier: GPL-3.0-or-later
# A Debian package of the installed layout: `cpack -G DEB` in the build folder writes
# quillet_VERSION_ARCH.deb. The libraries the programs link come from dpkg-shlibdeps;
# the Qt plugins they load at run time are listed by hand, as no link names them.
set(QUILLET_PACKAGE_MAINTAINER "The Quillet developers <quillet@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "The Quillet developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "closes the unclosed paragraphs of old HTML pages")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Quillet repairs HTML pages whose paragraphs were opened with <p> and never\n"
    "closed: it inserts the missing </p> where a browser ends the paragraphs\n"
    "anyway, steered by two word lists, and changes nothing else in the page.\n"
    "It can also join the lines of each paragraph and shorten runs of spaces.\n"
    "The package holds the window program quillet and the batch tool\n"
    "quillet-batch.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/quillet/quillet")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLET_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUILLET_BUILD_GUI)
    # The help is a SQLite database that QtHelp reads through Qt's SQLite driver plugin.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
