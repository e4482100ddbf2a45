# QScintilla for Qt 6. Neither Debian nor a QScintilla built into a Windows Qt kit ships a
# CMake package for it, so look for the header and the library by name, first in the Qt kit
# that find_package(Qt6) found (QScintilla's qmake install puts them there: include/Qsci,
# lib/qscintilla2_qt6.lib or libqscintilla2_qt6.a, bin or lib/qscintilla2_qt6.dll).
# Defines QScintilla::QScintilla; its headers are included as <Qsci/...>.
#
#   QScintilla_FOUND, QScintilla_INCLUDE_DIR, QScintilla_LIBRARY, QScintilla_DLL (Windows)

set(_qsci_include_hints)
set(_qsci_library_hints)
if(QT6_INSTALL_PREFIX)
    if(QT6_INSTALL_HEADERS)
        list(APPEND _qsci_include_hints "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_HEADERS}")
    endif()
    if(QT6_INSTALL_LIBS)
        list(APPEND _qsci_library_hints "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_LIBS}")
    endif()
endif()

find_path(QScintilla_INCLUDE_DIR
    NAMES Qsci/qsciscintilla.h
    HINTS ${_qsci_include_hints}
    PATH_SUFFIXES qt6 qt)
# The release library first: a debug one (suffix d) only where it is the only one.
find_library(QScintilla_LIBRARY
    NAMES qscintilla2_qt6 qscintilla2_qt6d
    HINTS ${_qsci_library_hints})
if(WIN32 AND QScintilla_LIBRARY)
    # The DLL beside the import library or in the kit's bin folder; windeployqt does not
    # know it, so the install step copies it beside entorra.exe.
    get_filename_component(_qsci_lib_dir "${QScintilla_LIBRARY}" DIRECTORY)
    find_file(QScintilla_DLL
        NAMES qscintilla2_qt6.dll qscintilla2_qt6d.dll
        HINTS "${_qsci_lib_dir}" "${_qsci_lib_dir}/../bin"
        NO_DEFAULT_PATH)
    mark_as_advanced(QScintilla_DLL)
endif()

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
unset(_qsci_include_hints)
unset(_qsci_library_hints)
