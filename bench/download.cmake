# Download benchmark: 1,000 records from the simulated meter, paced at 9600
# baud, through the real dialog offscreen and the real serial driver over a
# pseudo-terminal; prints the time per record against the line's floor and
# the process CPU time the download takes.
qt_add_executable(bench_download ${CMAKE_CURRENT_LIST_DIR}/bench_download.cpp)
target_link_libraries(bench_download PRIVATE meter_ui meter_sim)
meter_target_setup(bench_download)
