# Report benchmark: saves and opens a 65,530-row report through the report
# jobs over the built-in spreadsheet server (the code the dialog runs) and
# prints the times, the file size and the peak memory. Meant for a Release build.
qt_add_executable(bench_report ${CMAKE_CURRENT_LIST_DIR}/bench_report.cpp)
target_link_libraries(bench_report PRIVATE meter_report)
meter_target_setup(bench_report)
target_include_directories(bench_report PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# CI only builds the benchmarks and runs them once on a small input, so that
# they keep working; the figures come from a Release build run by hand.
if(METER_BUILD_TESTS)
    add_test(NAME bench_smoke_report COMMAND bench_report 200)
    add_test(NAME bench_smoke_engine COMMAND bench_engine 200 1)
    set_tests_properties(bench_smoke_report bench_smoke_engine PROPERTIES LABELS "bench;cheap" TIMEOUT 120)
endif()
