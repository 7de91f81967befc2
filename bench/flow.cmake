# The console runner against real child programs: throughput against cat, memory, latencies.
if(NOT TARGET benchmark::benchmark)
  find_package(benchmark REQUIRED)
endif()
add_executable(console_bench ${CMAKE_CURRENT_LIST_DIR}/console_bench.cpp)
target_link_libraries(console_bench PRIVATE zolta_flow benchmark::benchmark benchmark::benchmark_main)
