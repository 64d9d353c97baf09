# Dialog benchmark: the real dialog on the offscreen platform opens a
# 65,530-row report into its list, saves it and opens the saved file again,
# through its Open and Save buttons; prints the times and the peak memory of
# the whole process. Meant for a Release build.
qt_add_executable(bench_dialog ${CMAKE_CURRENT_LIST_DIR}/bench_dialog.cpp)
target_link_libraries(bench_dialog PRIVATE meter_ui)
target_include_directories(bench_dialog PRIVATE ${CMAKE_CURRENT_LIST_DIR})
meter_target_setup(bench_dialog)
if(METER_BUILD_TESTS)
    add_test(NAME bench_smoke_dialog COMMAND bench_dialog 200)
    set_tests_properties(bench_smoke_dialog PROPERTIES LABELS "bench;cheap" TIMEOUT 120
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
