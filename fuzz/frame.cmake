# fuzz_frame_assembler: the frame assembly fed arbitrary bytes (libFuzzer).
# The link library is built with the fuzzer's coverage (see link.cmake).
#   fuzz_frame_assembler fuzz/corpus/frame
add_executable(fuzz_frame_assembler ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_frame_assembler.cpp)
target_compile_options(fuzz_frame_assembler PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
target_link_options(fuzz_frame_assembler PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_frame_assembler PRIVATE meter_link)
meter_target_setup(fuzz_frame_assembler)
