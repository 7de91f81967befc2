# Programming speed: a bare loop into the simulated cable (the limit) against `zolta program` through
# the plug-in, in process and over remote_bitbang. Run it from a Release build:
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-release jtag_bench
#   build-release/bin/jtag_bench [--mib 12] [--no-rbb]
add_executable(jtag_bench ${CMAKE_CURRENT_LIST_DIR}/jtag_bench.cpp)
target_link_libraries(jtag_bench PRIVATE zolta_sim)
target_compile_definitions(jtag_bench PRIVATE ZOLTA_EXE="$<TARGET_FILE:zolta>")
add_dependencies(jtag_bench zolta)
if(TARGET zolta_plugin)
  add_dependencies(jtag_bench zolta_plugin)
endif()
