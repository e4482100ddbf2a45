# Libraries as layers. Each library lives in one folder of the repository and names the
# libraries it may use; its include directory holds only its own folder (through a link in the
# build tree), so a header of a library it does not link is not found, and a configure-time
# scan of every #include "folder/..." fails the configure step before the compiler would.

set(ENTORRA_LAYER_INCLUDE_ROOT ${PROJECT_BINARY_DIR}/layers)
# Folders of the repository whose headers are included as "folder/Name.h".
set(ENTORRA_LAYER_FOLDERS base io bsp entities folders diagnostics cli app tests)

# The include directory that offers exactly one folder of the repository.
function(entorra_layer_include_dir folder out_var)
    set(_dir ${ENTORRA_LAYER_INCLUDE_ROOT}/${folder})
    set(_link ${_dir}/${folder})
    if(NOT EXISTS ${_link})
        file(MAKE_DIRECTORY ${_dir})
        # Where links cannot be made (some Windows set-ups), the repository root stands in;
        # the include scan still guards the layering there.
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${_link} SYMBOLIC RESULT _result)
        if(NOT _result EQUAL 0)
            set(${out_var} ${PROJECT_SOURCE_DIR} PARENT_SCOPE)
            return()
        endif()
    endif()
    set(${out_var} ${_dir} PARENT_SCOPE)
endfunction()

# entorra_layer(<target> FOLDER <folder> [USES <layer targets>...] [LIBS <other libraries>...])
# Declares <target> as the layer of <folder>: its include directory, the layers it uses
# (PUBLIC, so their headers reach its users) and other libraries.
function(entorra_layer target)
    cmake_parse_arguments(ARG "" "FOLDER" "USES;LIBS" ${ARGN})
    entorra_layer_include_dir(${ARG_FOLDER} _include)
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${_include}>)
    target_link_libraries(${target} PUBLIC ${ARG_USES} ${ARG_LIBS})
    target_link_libraries(${target} PRIVATE CompilerWarnings)
    set(_allowed ${ARG_FOLDER})
    foreach(_used IN LISTS ARG_USES)
        get_target_property(_used_allowed ${_used} ENTORRA_LAYER_ALLOWED)
        list(APPEND _allowed ${_used_allowed})
    endforeach()
    list(REMOVE_DUPLICATES _allowed)
    set_target_properties(${target} PROPERTIES
        ENTORRA_LAYER_FOLDER ${ARG_FOLDER}
        ENTORRA_LAYER_ALLOWED "${_allowed}")
    # Deferred to the end of the configure step, when all sources are known.
    cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL entorra_check_layer_includes ${target})")
endfunction()

# Fails the configure step when a source of <target> includes a folder it may not use.
function(entorra_check_layer_includes target)
    get_target_property(_allowed ${target} ENTORRA_LAYER_ALLOWED)
    get_target_property(_folder ${target} ENTORRA_LAYER_FOLDER)
    get_target_property(_sources ${target} SOURCES)
    file(GLOB _headers ${PROJECT_SOURCE_DIR}/${_folder}/*.h)
    foreach(_source IN LISTS _sources _headers)
        if(NOT IS_ABSOLUTE ${_source})
            set(_source ${PROJECT_SOURCE_DIR}/${_folder}/${_source})
        endif()
        if(NOT _source MATCHES "\\.(h|cpp)$" OR NOT EXISTS ${_source})
            continue()
        endif()
        file(STRINGS ${_source} _includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z]+/")
        foreach(_line IN LISTS _includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z]+)/.*" "\\1" _used "${_line}")
            if(_used IN_LIST ENTORRA_LAYER_FOLDERS AND NOT _used IN_LIST _allowed)
                message(FATAL_ERROR
                    "${_source} includes ${_used}/, which ${target} does not use "
                    "(it may use: ${_allowed})")
            endif()
        endforeach()
    endforeach()
endfunction()
