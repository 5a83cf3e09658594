# SPDX-License-Identifier: GPL-3.0-or-later
# Finds QScintilla built for Qt 6 and provides the imported target QScintilla::QScintilla.
# Debian ships it without a CMake package or pkg-config file: the headers live in the
# Qt 6 include directory under Qsci/ and the library is qscintilla2_qt6.

find_package(Qt6 REQUIRED COMPONENTS Widgets)
get_target_property(_quillet_qt_includes Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)

find_path(QScintilla_INCLUDE_DIR
    NAMES Qsci/qsciscintilla.h
    HINTS ${_quillet_qt_includes}
    PATH_SUFFIXES qt6 ..)
find_library(QScintilla_LIBRARY NAMES qscintilla2_qt6)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(QScintilla
    REQUIRED_VARS QScintilla_LIBRARY QScintilla_INCLUDE_DIR)

if(QScintilla_FOUND AND NOT TARGET QScintilla::QScintilla)
    add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
    set_target_properties(QScintilla::QScintilla PROPERTIES
        IMPORTED_LOCATION "${QScintilla_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${QScintilla_INCLUDE_DIR}"
        INTERFACE_COMPILE_DEFINITIONS "QSCINTILLA_DLL"
        INTERFACE_LINK_LIBRARIES "Qt6::Widgets")
endif()
mark_as_advanced(QScintilla_INCLUDE_DIR QScintilla_LIBRARY)
