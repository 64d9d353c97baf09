# fuzz_link_control: the link control's reply handling against a model of
# the line (requests, answers, damage, silence, time-outs).
add_executable(fuzz_link_control ${CMAKE_CURRENT_LIST_DIR}/fuzz_link_control.cpp)
target_link_libraries(fuzz_link_control PRIVATE meter_link)
meter_target_setup(fuzz_link_control)
target_compile_options(fuzz_link_control PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_link_control PRIVATE -fsanitize=fuzzer,address,undefined)
target_compile_options(meter_link PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
