# Record list benchmark: fills a shown list with 65,535 rows the way the
# download and Open do (InsertItem at the end, then seven SetItemText) and
# prints the time and the memory it takes. Meant for a Release build.
qt_add_executable(bench_list ${CMAKE_CURRENT_LIST_DIR}/bench_list.cpp)
target_link_libraries(bench_list PRIVATE meter_recordlist)
meter_target_setup(bench_list)
