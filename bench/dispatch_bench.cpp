// Dispatch round trips on a driver: pack arguments, Invoke by identifier, unpack the result.
#include <benchmark/benchmark.h>

#include "zolta/arria2gz_driver.h"

namespace {

void BM_InvokeNoArgumentIntegerResult(benchmark::State& state) {
  zolta::TDevice_Arria2GZDriver driver(0);
  zabi::IDispatch* d = driver.dispatch();
  for (auto _ : state) {
    int32_t n = zabi::invoke(d, zolta::dispid::GetInstructionLength).toInt32();
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_InvokeNoArgumentIntegerResult);

void BM_InvokeIntegerArgumentIntegerResult(benchmark::State& state) {
  zolta::TDevice_Arria2GZDriver driver(0);
  zabi::IDispatch* d = driver.dispatch();
  constexpr zabi::DispId kGetProcessorRegisterWidth = 503768;
  int32_t i = 0;
  for (auto _ : state) {
    int32_t n = zabi::invoke(d, kGetProcessorRegisterWidth, ++i).toInt32();
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_InvokeIntegerArgumentIntegerResult);

void BM_InvokeTextResult(benchmark::State& state) {
  zolta::TDevice_Arria2GZDriver driver(0);
  zabi::IDispatch* d = driver.dispatch();
  for (auto _ : state) {
    std::string s = zabi::invoke(d, zolta::dispid::GetDeviceName).toString();
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_InvokeTextResult);

}  // namespace
