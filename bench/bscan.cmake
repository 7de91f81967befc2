# Reading the host library's BSDL files into complete entities.
if(NOT TARGET benchmark::benchmark)
  find_package(benchmark REQUIRED)
endif()
add_executable(bsdl_bench ${CMAKE_CURRENT_LIST_DIR}/bsdl_bench.cpp)
target_link_libraries(bsdl_bench PRIVATE zolta_bscan benchmark::benchmark benchmark::benchmark_main)
target_compile_definitions(bsdl_bench PRIVATE ZOLTA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
