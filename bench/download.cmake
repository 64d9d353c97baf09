# Download benchmark: the shown dialog reads records from meter-sim running
# as its own process, paced at 9600 baud both ways; prints the time per
# record against the meter's floor and the client's CPU.
qt_add_executable(bench_download ${CMAKE_CURRENT_LIST_DIR}/bench_download.cpp)
target_link_libraries(bench_download PRIVATE meter_ui)
target_compile_definitions(bench_download PRIVATE METER_SIM_PATH="$<TARGET_FILE:meter-sim>")
add_dependencies(bench_download meter-sim)
meter_target_setup(bench_download)
