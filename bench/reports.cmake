# The Quartus report readers on generated 50 MB reports: time to the summary and peak heap memory.
if(NOT TARGET benchmark::benchmark)
  find_package(benchmark REQUIRED)
endif()
add_executable(report_bench ${CMAKE_CURRENT_LIST_DIR}/report_bench.cpp)
target_link_libraries(report_bench PRIVATE zolta_flow benchmark::benchmark benchmark::benchmark_main)
