# AddressSanitizer + UndefinedBehaviorSanitizer for the whole build when ENTORRA_SANITIZE is on.
if(ENTORRA_SANITIZE AND NOT MSVC)
    set(_entorra_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_compile_options(${_entorra_san})
    add_link_options(${_entorra_san})
endif()
