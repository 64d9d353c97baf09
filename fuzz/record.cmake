# fuzz_record_decoder: the decoding of a record reply on any bytes.
add_executable(fuzz_record_decoder ${CMAKE_CURRENT_LIST_DIR}/fuzz_record_decoder.cpp)
target_link_libraries(fuzz_record_decoder PRIVATE meter_records)
meter_target_setup(fuzz_record_decoder)
target_compile_options(fuzz_record_decoder PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_record_decoder PRIVATE -fsanitize=fuzzer,address,undefined)
target_compile_options(meter_records PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
