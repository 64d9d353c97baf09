# fuzz_setup_ini: SETUP.ini's profile functions on any file and names.
add_executable(fuzz_setup_ini ${CMAKE_CURRENT_LIST_DIR}/fuzz_setup_ini.cpp)
target_link_libraries(fuzz_setup_ini PRIVATE meter_settings)
meter_target_setup(fuzz_setup_ini)
target_compile_options(fuzz_setup_ini PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_setup_ini PRIVATE -fsanitize=fuzzer,address,undefined)
target_compile_options(meter_settings PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
