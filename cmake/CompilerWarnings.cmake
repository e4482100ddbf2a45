# Warning set shared by every target of the project.
add_library(CompilerWarnings INTERFACE)
if(MSVC)
    target_compile_options(CompilerWarnings INTERFACE /W4 $<$<BOOL:${ENTORRA_WERROR}>:/WX>)
else()
    target_compile_options(CompilerWarnings INTERFACE
        -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
        $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast>
        $<$<BOOL:${ENTORRA_WERROR}>:-Werror>)
endif()
