# Report benchmark: saves and opens a 65,530-row report through the report
# jobs over the built-in spreadsheet server (the code the dialog runs) and
# prints the times, the file size and the peak memory. Meant for a Release build.
qt_add_executable(bench_report ${CMAKE_CURRENT_LIST_DIR}/bench_report.cpp)
target_link_libraries(bench_report PRIVATE meter_report)
meter_target_setup(bench_report)
