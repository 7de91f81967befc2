// Reading BSDL files into the whole cross-linked entity (pins, mappings, cells, opcodes, registers and
// every wrapper), then freeing it. The largest file is the 1517-ball package with 2682 cells.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "zolta/bscan/bsdl_reader.h"

namespace {

std::string dataFile(const char* name) { return std::string(ZOLTA_SOURCE_DIR) + "/data/bsdl/" + name + ".bsd"; }

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void counters(benchmark::State& state, const zolta::TBSDLEntity& e, size_t bytes) {
  state.counters["pins"] = double(e.Pins().size());
  state.counters["cells"] = double(e.BoundaryCells().size());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// From text in memory: lexing, parsing, checking and building the graph, then freeing it.
void BM_ReadBSDLText(benchmark::State& state, const char* name) {
  const std::string path = dataFile(name);
  const std::string text = slurp(path);
  for (auto _ : state) {
    auto entity = zolta::ReadBSDLText(text, path);
    benchmark::DoNotOptimize(entity.get());
  }
  counters(state, *zolta::ReadBSDLText(text, path), text.size());
}
BENCHMARK_CAPTURE(BM_ReadBSDLText, EP2AGZ350HF40, "EP2AGZ350HF40")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadBSDLText, EP2AGZ300FH29, "EP2AGZ300FH29")->Unit(benchmark::kMillisecond);

// The same from the file, as the host reads it.
void BM_ReadBSDLFile(benchmark::State& state, const char* name) {
  const std::string path = dataFile(name);
  for (auto _ : state) {
    auto entity = zolta::ReadBSDLFile(path);
    benchmark::DoNotOptimize(entity.get());
  }
  counters(state, *zolta::ReadBSDLFile(path), slurp(path).size());
}
BENCHMARK_CAPTURE(BM_ReadBSDLFile, EP2AGZ350HF40, "EP2AGZ350HF40")->Unit(benchmark::kMillisecond);

}  // namespace
