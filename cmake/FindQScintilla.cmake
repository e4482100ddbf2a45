# QScintilla for Qt 6. Debian ships no CMake package for it, so look for the header and the
# library by name. Defines QScintilla::QScintilla; its headers are included as <Qsci/...>.
#
#   QScintilla_FOUND, QScintilla_INCLUDE_DIR, QScintilla_LIBRARY

set(_qsci_hints)
if(QT6_INSTALL_PREFIX AND QT6_INSTALL_HEADERS)
    list(APPEND _qsci_hints "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_HEADERS}")
endif()

find_path(QScintilla_INCLUDE_DIR
    NAMES Qsci/qsciscintilla.h
    HINTS ${_qsci_hints}
    PATH_SUFFIXES qt6 qt)
find_library(QScintilla_LIBRARY
    NAMES qscintilla2_qt6 qscintilla2_qt6d)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(QScintilla
    REQUIRED_VARS QScintilla_LIBRARY QScintilla_INCLUDE_DIR)
mark_as_advanced(QScintilla_INCLUDE_DIR QScintilla_LIBRARY)

if(QScintilla_FOUND AND NOT TARGET QScintilla::QScintilla)
    add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
    # Imported, so its headers count as system headers and our warnings stay on our code only.
    set_target_properties(QScintilla::QScintilla PROPERTIES
        IMPORTED_LOCATION "${QScintilla_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${QScintilla_INCLUDE_DIR}"
        INTERFACE_COMPILE_DEFINITIONS QSCINTILLA_DLL)
    if(TARGET Qt6::Widgets)
        set_property(TARGET QScintilla::QScintilla APPEND PROPERTY
            INTERFACE_LINK_LIBRARIES Qt6::Widgets)
    endif()
endif()
unset(_qsci_hints)
