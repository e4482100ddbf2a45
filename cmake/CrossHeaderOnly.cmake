# Header-only libraries in a cross build: CLI11 and nlohmann-json need no build for the target,
# so the build machine's copies serve. Their folders are linked into the build tree one by one,
# never the build machine's whole include folder, whose C library headers would shadow the
# target's. Defines CLI11::CLI11 and nlohmann_json::nlohmann_json.

function(entorra_host_header_only target header)
    if(TARGET ${target})
        return()
    endif()
    find_path(_entorra_host_dir NAMES ${header} NO_CMAKE_FIND_ROOT_PATH
              PATHS /usr/include /usr/local/include)
    if(NOT _entorra_host_dir)
        message(FATAL_ERROR "${header} not found on the build machine (needed for ${target})")
    endif()
    string(REGEX REPLACE "/.*" "" _top ${header})
    set(_staged ${PROJECT_BINARY_DIR}/host-headers)
    if(NOT EXISTS ${_staged}/${_top})
        file(MAKE_DIRECTORY ${_staged})
        file(CREATE_LINK ${_entorra_host_dir}/${_top} ${_staged}/${_top} SYMBOLIC COPY_ON_ERROR)
    endif()
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_staged})
    unset(_entorra_host_dir CACHE)
endfunction()

if(CMAKE_CROSSCOMPILING)
    entorra_host_header_only(CLI11::CLI11 CLI/CLI.hpp)
    entorra_host_header_only(nlohmann_json::nlohmann_json nlohmann/json.hpp)
endif()
