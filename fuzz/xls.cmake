# fuzz_xls_reader: the .xls reader (compound file and BIFF8 stream) on
# arbitrary bytes. The engine library is built with coverage for libFuzzer.
#   fuzz_xls_reader -max_total_time=20 ${CMAKE_CURRENT_LIST_DIR}/corpus/xls
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(STATUS "fuzz_xls_reader needs clang (CC=clang CXX=clang++); not built")
    return()
endif()
target_compile_options(meter_report PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
target_compile_options(meter_files PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
add_executable(fuzz_xls_reader ${CMAKE_CURRENT_LIST_DIR}/fuzz_xls_reader.cpp)
target_link_libraries(fuzz_xls_reader PRIVATE meter_report)
meter_target_setup(fuzz_xls_reader)
target_compile_options(fuzz_xls_reader PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_xls_reader PRIVATE -fsanitize=fuzzer,address,undefined)
