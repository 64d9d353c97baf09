# fuzz_frame_assembler: the frame assembly fed arbitrary bytes (libFuzzer).
# The assembly sources are compiled in here so that they carry the fuzzer's
# coverage; meter_link brings QtCore. Run: fuzz_frame_assembler fuzz/corpus/frame
add_executable(fuzz_frame_assembler ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_frame_assembler.cpp
                                    ${PROJECT_SOURCE_DIR}/link/FrameAssembler.cpp
                                    ${PROJECT_SOURCE_DIR}/link/InstrumentFrame.cpp)
target_compile_options(fuzz_frame_assembler PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
target_link_options(fuzz_frame_assembler PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_frame_assembler PRIVATE meter_link)
meter_target_setup(fuzz_frame_assembler)
