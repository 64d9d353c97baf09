# Hardening of every program and test, the flags Debian builds its own
# packages with: stack protector, position-independent executables,
# relocations read-only and resolved at start, and glibc's checked string
# and memory functions where the code is optimised.
if(METER_HARDEN AND NOT MSVC)
    add_compile_options(-fstack-protector-strong)
    # _FORTIFY_SOURCE works only with optimisation (glibc warns otherwise),
    # and AddressSanitizer (tests, fuzz targets) checks the same calls its own way.
    if(NOT METER_SANITIZE AND NOT METER_BUILD_FUZZ)
        add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
    endif()
    # Qt's targets compile everything with -fPIC, which a PIE can use as it
    # is; only the link has to ask for it.
    add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-pie> LINKER:-z,relro,-z,now)
endif()
