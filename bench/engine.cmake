# Workbook engine benchmark: saves and opens a 65,530-row report (.xls) and
# prints the times, the file size and the peak memory. Meant for a Release
# build.
qt_add_executable(bench_engine ${CMAKE_CURRENT_LIST_DIR}/bench_engine.cpp)
target_link_libraries(bench_engine PRIVATE meter_report)
target_include_directories(bench_engine PRIVATE ${CMAKE_CURRENT_LIST_DIR})
meter_target_setup(bench_engine)
