// The Quartus report readers on large reports (50 MB, generated once in a temporary folder that is
// removed at exit):
//  - FitSummary/Typical: the resource table where real fit reports have it, after the summary and
//    settings and before the long per-entity, pin and message sections; the reader stops at the end
//    of the table, so its time does not grow with the report.
//  - FitSummary/TableAtEnd: the worst case, the table after 50 MB of other sections.
//  - TimeQuestSummary, ClassicTimingSummary: the same for the timing reports.
//  - ReadWholeFile: reading all 50 MB through stdio, for comparison.
// Counters: bytes of report read per iteration (the file size for the worst case), items found, and
// peak_heap: the most heap memory the reader held at once, its 64 KiB read buffer included (this
// program counts every allocation).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "zolta/flow/altera_reports.h"

// ---- heap accounting ------------------------------------------------------------------------------

namespace {
std::atomic<size_t> gHeapNow{0};
std::atomic<size_t> gHeapPeak{0};

void* countedAlloc(size_t n) {
  void* p = std::malloc(n + 16);
  if (!p) throw std::bad_alloc();
  *static_cast<size_t*>(p) = n;
  const size_t now = gHeapNow.fetch_add(n) + n;
  size_t peak = gHeapPeak.load();
  while (now > peak && !gHeapPeak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(p) + 16;
}

void countedFree(void* p) {
  if (!p) return;
  char* base = static_cast<char*>(p) - 16;
  gHeapNow.fetch_sub(*reinterpret_cast<size_t*>(base));
  std::free(base);
}
}  // namespace

void* operator new(size_t n) { return countedAlloc(n); }
void* operator new[](size_t n) { return countedAlloc(n); }
void operator delete(void* p) noexcept { countedFree(p); }
void operator delete[](void* p) noexcept { countedFree(p); }
void operator delete(void* p, size_t) noexcept { countedFree(p); }
void operator delete[](void* p, size_t) noexcept { countedFree(p); }

namespace {

namespace fs = std::filesystem;
constexpr size_t kReportBytes = 50u << 20;

// The benchmark's temporary folder, removed at exit.
struct BenchFolder {
  fs::path path;
  BenchFolder() {
    std::string t = (fs::temp_directory_path() / "zolta_report_bench_XXXXXX").string();
    if (::mkdtemp(t.data())) path = t;
  }
  ~BenchFolder() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
};

BenchFolder& folder() {
  static BenchFolder f;
  return f;
}

// Filler sections in the shape of a fit report's long tables: per-entity utilisation rows, pins and
// messages, about 200 bytes a line, until the file holds `bytes` bytes.
void writeFiller(std::ofstream& out, size_t& written, size_t bytes) {
  size_t row = 0;
  char line[256];
  while (written < bytes) {
    if (row % 5000 == 0) {
      const char* head = "\n+--------------------------------------------------------------------------------------+\n"
                         "; Fitter Resource Utilization by Entity                                                ;\n"
                         "+--------------------------------------------------------------------------------------+\n";
      out << head;
      written += std::char_traits<char>::length(head);
    }
    const int n = std::snprintf(line, sizeof line,
                                "; |counter|cnt_block_%06zu|lut_%04zu ; %5zu (%zu) ; %5zu (%zu) ; 0 (0) ; 0 ; 0 ; 0 ; "
                                "%zu ; 0 ; |counter|cnt_block_%06zu|lut_%04zu ; work ;\n",
                                row, row % 1000, row % 97, row % 13, row % 89, row % 7, row % 3, row, row % 1000);
    out.write(line, n);
    written += size_t(n);
    ++row;
  }
}

void writeText(std::ofstream& out, size_t& written, const std::string& text) {
  out << text;
  written += text.size();
}

const std::string kFitHead =
    "Fitter report for counter\nQuartus II 64-Bit Version 13.1.0 Build 162 10/23/2013 SJ Full Version\n\n"
    "+----------------------------------------------------------+\n"
    "; Fitter Summary                                           ;\n"
    "+------------------------------------+---------------------+\n"
    "; Fitter Status                      ; Successful          ;\n"
    "; Total registers                    ; 24                  ;\n"
    "+------------------------------------+---------------------+\n\n\n";

const std::string kFitTable =
    "+-------------------------------------------------------------------------------------+\n"
    "; Fitter Resource Usage Summary                                                       ;\n"
    "+-----------------------------------------------------+-------------------------------+\n"
    "; Resource                                            ; Usage                         ;\n"
    "+-----------------------------------------------------+-------------------------------+\n"
    "; Logic utilization                                   ; 12 %                          ;\n"
    ";     -- Combinational ALUTs                          ; 21,040 / 178,080 ( 12 % )     ;\n"
    "; Dedicated logic registers                           ; 18,224 / 178,080 ( 10 % )     ;\n"
    "; Total registers                                     ; 18224                         ;\n"
    "; I/O pins                                            ; 310 / 734 ( 42 % )            ;\n"
    ";     -- Global clocks                                ; 6 / 16 ( 38 % )               ;\n"
    "; Total block memory bits                             ; 1,048,576 / 15,040,512 ( 7 % );\n"
    "; DSP block 18-bit elements                           ; 64 / 736 ( 9 % )              ;\n"
    "+-----------------------------------------------------+-------------------------------+\n\n";

// A fit report of kReportBytes with its resource table after `before` bytes.
std::string fitReport(const char* name, size_t before) {
  const std::string path = (folder().path / name).string();
  if (fs::exists(path)) return path;
  std::ofstream out(path, std::ios::binary);
  size_t written = 0;
  writeText(out, written, kFitHead);
  writeFiller(out, written, before);
  writeText(out, written, "\n" + kFitTable);
  writeFiller(out, written, kReportBytes);
  return path;
}

std::string staReport() {
  const std::string path = (folder().path / "big.sta.rpt").string();
  if (fs::exists(path)) return path;
  std::ofstream out(path, std::ios::binary);
  size_t written = 0;
  writeText(out, written, "TimeQuest Timing Analyzer report for counter\n\n");
  writeFiller(out, written, 64 << 10);
  writeText(out, written,
            "\n+------------------------------------------------+\n"
            "; Slow 900mV 100C Model Fmax Summary             ;\n"
            "+------------+-----------------+------------+------+\n"
            "; Fmax       ; Restricted Fmax ; Clock Name ; Note ;\n"
            "+------------+-----------------+------------+------+\n"
            "; 212.5 MHz  ; 212.5 MHz       ; CLK        ;      ;\n"
            "; 98.1 MHz   ; 98.1 MHz        ; SPI_CLK    ;      ;\n"
            "+------------+-----------------+------------+------+\n"
            "This panel reports FMAX for every clock in the design.\n\n\n"
            "----------------------------------\n; Timing Closure Recommendations ;\n----------------------------------\n"
            "HTML report is unavailable in plain text report export.\n\n\n"
            "+------------------------------------------------+\n; Slow 900mV 100C Model Setup Summary            ;\n");
  writeFiller(out, written, kReportBytes);
  return path;
}

std::string tanReport() {
  const std::string path = (folder().path / "big.tan.rpt").string();
  if (fs::exists(path)) return path;
  std::ofstream out(path, std::ios::binary);
  size_t written = 0;
  writeText(out, written,
            "Classic Timing Analyzer report for counter\n\n"
            "+----------------------------------------------------------------------------+\n"
            "; Timing Analyzer Summary                                                    ;\n"
            "+------------------------------+-------+---------------+-------------+-------+\n"
            "; Worst-case tsu               ; N/A   ; None          ; 5.528 ns    ; RST_N ;\n"
            "; Worst-case tco               ; N/A   ; None          ; 7.321 ns    ; cnt[0];\n"
            "; Clock Setup: 'CLOCK_50'      ; N/A   ; None          ; 32.48 MHz ( period = 30.790 ns ) ; a ;\n"
            "+------------------------------+-------+---------------+-------------+-------+\n\n\n"
            "+----------------------------------------------------------------------------+\n"
            "; Timing Analyzer Settings                                                   ;\n");
  writeFiller(out, written, kReportBytes);
  return path;
}

template <class Read>
void measure(benchmark::State& state, const std::string& path, size_t bytesRead, Read read) {
  size_t items = 0;
  size_t peak = 0;
  for (auto _ : state) {
    const size_t base = gHeapNow.load();
    gHeapPeak.store(base);
    const std::vector<zolta::TReportItem> found = read(path);
    items = found.size();
    peak = std::max(peak, gHeapPeak.load() - base);
    benchmark::DoNotOptimize(found.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytesRead));
  state.counters["items"] = double(items);
  state.counters["peak_heap"] = benchmark::Counter(double(peak), benchmark::Counter::kDefaults,
                                                   benchmark::Counter::OneK::kIs1024);
  state.counters["report_MB"] = double(fs::file_size(path)) / double(1 << 20);
}

void BM_FitSummary_Typical(benchmark::State& state) {
  const std::string path = fitReport("typical.fit.rpt", 256 << 10);
  measure(state, path, (256 << 10) + kFitTable.size(), [](const std::string& p) { return zolta::ReadFitSummary(p); });
}
BENCHMARK(BM_FitSummary_Typical)->Unit(benchmark::kMicrosecond);

void BM_FitSummary_TableAtEnd(benchmark::State& state) {
  const std::string path = fitReport("end.fit.rpt", kReportBytes - (64 << 10));
  measure(state, path, kReportBytes, [](const std::string& p) { return zolta::ReadFitSummary(p); });
}
BENCHMARK(BM_FitSummary_TableAtEnd)->Unit(benchmark::kMillisecond);

void BM_TimeQuestSummary(benchmark::State& state) {
  const std::string path = staReport();
  measure(state, path, 64 << 10, [](const std::string& p) { return zolta::ReadTimeQuestSummary(p, 13.1); });
}
BENCHMARK(BM_TimeQuestSummary)->Unit(benchmark::kMicrosecond);

void BM_ClassicTimingSummary(benchmark::State& state) {
  const std::string path = tanReport();
  measure(state, path, 1 << 10, [](const std::string& p) { return zolta::ReadClassicTimingSummary(p); });
}
BENCHMARK(BM_ClassicTimingSummary)->Unit(benchmark::kMicrosecond);

// Every byte of the report through stdio in 64 KiB blocks: the floor for reading a whole report.
void BM_ReadWholeFile(benchmark::State& state) {
  const std::string path = fitReport("end.fit.rpt", kReportBytes - (64 << 10));
  std::vector<char> buffer(64 << 10);
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    size_t total = 0, n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) total += n;
    std::fclose(f);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(path)));
}
BENCHMARK(BM_ReadWholeFile)->Unit(benchmark::kMillisecond);

}  // namespace
