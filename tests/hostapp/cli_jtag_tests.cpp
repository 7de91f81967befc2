// The zolta program's device and JTAG commands, run as processes with the Arria II GZ plug-in installed
// beside it: info, bsdl, chain, status, usercode, reset, program, and sim serve with remote_bitbang
// clients (including a server that dies in the middle of programming).
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "test_support.h"
#include "zolta/sim/rbf.h"

namespace zolta::hostapp::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

size_t countOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

std::string sourceFile(const std::string& relative) {
  const char* dir = std::getenv("ZOLTA_SOURCE_DIR");
  return std::string(dir ? dir : ".") + "/" + relative;
}

class CliJtagTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef ZOLTA_REAL_PLUGIN
    GTEST_SKIP() << "the Arria II GZ plug-in is not part of this build";
#endif
  }
  // A raw bit file for `device` with `payload` bytes of configuration data.
  std::string bitFile(const std::string& name, const std::string& device, uint32_t userCode, size_t payload = 4096) {
    const std::string path = files.path() + "/" + name;
    std::vector<uint8_t> data(payload);
    for (size_t i = 0; i < payload; ++i) data[i] = uint8_t(i * 131 + 7);
    zsim::writeRbf(path, device, userCode, data);
    return path;
  }
  TempFolder files;
};

// `zolta sim serve --port 0` in the background, with the port it reports.
struct Server {
  ZoltaProcess process;
  std::string port;
  explicit Server(const std::string& chain = {})
      : process(chain.empty() ? std::vector<std::string>{"sim", "serve", "--port", "0"}
                              : std::vector<std::string>{"sim", "serve", "--port", "0", "--chain", chain}) {
    std::optional<std::string> line = process.readLine(10000);
    const std::string marker = "listening on 127.0.0.1:";
    if (!line || !contains(*line, marker)) throw std::runtime_error("the server did not start: " + process.err());
    port = line->substr(line->find(marker) + marker.size());
    port = port.substr(0, port.find(','));
  }
  std::string cable() const { return "rbb://127.0.0.1:" + port; }
};

// ---- device information and BSDL --------------------------------------------------------------------

TEST_F(CliJtagTest, InfoGivesEveryAnswerOfTheFirstAndLastKind) {
  ProcessResult first = runZolta({"info", "0", "--pins"});
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_TRUE(contains(first.out, "Arria2GZ kind 0\n")) << first.out;
  for (const char* line : {"  DeviceName ", "EP2AGZ225FF35C3\n", "  BaseName ", "EP2AGZ225F\n", "  PackageDimensions ",
                           "35 x 35 mm\n", "  InstructionLength ", "  DevicePinCount ", "Pins: 10\n", "  A01 ", "  A10 "})
    EXPECT_TRUE(contains(first.out, line)) << line << "\n" << first.out;

  ProcessResult last = runZolta({"info", "EP2AGZ350HF40I4N", "--json", "--pins"});
  EXPECT_EQ(last.exitCode, 0) << last.err;
  EXPECT_TRUE(contains(last.out, "\"kind\": 63")) << last.out;
  EXPECT_TRUE(contains(last.out, "\"DeviceName\": \"EP2AGZ350HF40I4N\"")) << last.out;
  EXPECT_TRUE(contains(last.out, "\"TerminationSupport\": true")) << last.out;
  EXPECT_TRUE(contains(last.out, "\"EquivalentGatesForBase\": 278800")) << last.out;
  EXPECT_EQ(countOf(last.out, "\"number\": \"A"), 10u) << last.out;
  EXPECT_TRUE(contains(last.out, "\"errors\": []")) << last.out;

  ProcessResult none = runZolta({"info", "64"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_TRUE(contains(none.err, "no loaded plug-in serves device kind 64 (kinds 0..63)")) << none.err;
  ProcessResult missing = runZolta({"info"});
  EXPECT_EQ(missing.exitCode, 2);
}

TEST_F(CliJtagTest, BsdlSummarisesAnEntityOrNamesTheFault) {
  ProcessResult r = runZolta({"bsdl", sourceFile("data/bsdl/EP2AGZ300FH29.bsd")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (const char* part : {"Entity EP2AGZ300FH29 (", "IDCODE                  0x0240A0DD", "Boundary length         2682",
                           "Pins                    780", "SAMPLE     0000000101  0x005", "BOUNDARY[2682]: EXTEST, SAMPLE",
                           "TDI TDI (", "IDCODE 0x006"})
    EXPECT_TRUE(contains(r.out, part)) << part << "\n" << r.out;

  const std::string bad = files.write("bad.bsd",
                                      "entity BAD is\n"
                                      "  generic (PHYSICAL_PIN_MAP : string := \"P\");\n"
                                      "  port (TDI : in bit);\n"
                                      "  attribute INSTRUCTION_LENGTH of BAD : entity is 2;\n"
                                      "end BAD;\n");
  ProcessResult b = runZolta({"bsdl", bad});
  EXPECT_EQ(b.exitCode, 1);
  EXPECT_TRUE(contains(b.err, "zolta: bsdl: " + bad + ":")) << b.err;
  EXPECT_EQ(b.out, "");
  ProcessResult j = runZolta({"bsdl", "--json", sourceFile("data/bsdl/EP2AGZ225FF35.bsd")});
  EXPECT_TRUE(contains(j.out, "\"boundaryLength\": 2274")) << j.out;
  EXPECT_TRUE(contains(j.out, "\"maxHz\": 10000000")) << j.out;
}

// ---- chain, status, program ----------------------------------------------------------------------------

TEST_F(CliJtagTest, ChainListsTheDefaultChainAndNamesUnknownDevices) {
  ProcessResult r = runZolta({"chain"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "simulated chain EP2AGZ225FF35C3,EP2AGZ300FF35C3: 2 devices")) << r.out;
  EXPECT_TRUE(contains(r.out, "0      0x024810DD  10  EP2AGZ225FF35C3  EP2AGZ225FF35.bsd")) << r.out;
  EXPECT_TRUE(contains(r.out, "1      0x0240A0DD  10  EP2AGZ300FF35C3  EP2AGZ300FF35.bsd")) << r.out;

  ProcessResult odd = runZolta({"chain", "--cable", "sim:bypass,EP2AGZ350FH29I4", "--json"});
  EXPECT_EQ(odd.exitCode, 0) << odd.err;
  EXPECT_TRUE(contains(odd.out, "\"index\": 0, \"idcode\": null, \"irLength\": 4")) << odd.out;
  EXPECT_TRUE(contains(odd.out, "\"device\": \"EP2AGZ350FF35C3\"")) << odd.out;
  EXPECT_TRUE(contains(odd.out, "\"problem\": \"it answers no IDCODE (BYPASS only)\"")) << odd.out;

  ProcessResult bad = runZolta({"chain", "--cable", "sim:bypass,bypass"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_TRUE(contains(bad.err, "cannot tell the instruction-register lengths of 2 devices")) << bad.err;
  ProcessResult usage = runZolta({"chain", "--cable", "usb"});
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_TRUE(contains(usage.err, "unknown cable 'usb'")) << usage.err;
}

TEST_F(CliJtagTest, ProgramConfiguresTheDeviceAndReportsTimeRateAndState) {
  const std::string file = bitFile("top.rbf", "EP2AGZ300FF35C3", 0x0BADF00D);
  ProcessResult r = runZolta({"program", file, "--device", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "Programming device 1 EP2AGZ300FF35C3 on simulated chain")) << r.out;
  EXPECT_TRUE(contains(r.out, "Sent " + std::to_string((4096 + 64 + 16 + 4) * 8) + " bits in ")) << r.out;
  EXPECT_TRUE(contains(r.out, "Mbit/s")) << r.out;
  EXPECT_TRUE(contains(r.out, "device 1 EP2AGZ300FF35C3: configured, user code 0x0BADF00D\n")) << r.out;
  EXPECT_EQ(r.err, "");

  ProcessResult j = runZolta({"program", "--json", "--cable", "sim:bypass,EP2AGZ300FF35I4", file});
  EXPECT_EQ(j.exitCode, 0) << j.err;
  EXPECT_TRUE(contains(j.out, "\"index\": 1, \"device\": \"EP2AGZ300FF35C3\"")) << j.out;
  EXPECT_TRUE(contains(j.out, "\"configured\": true")) << j.out;
  EXPECT_TRUE(contains(j.out, "\"userCode\": \"0x0BADF00D\"")) << j.out;
}

TEST_F(CliJtagTest, ABadBitFileLeavesTheDeviceUnconfiguredAndSaysWhy) {
  const std::string good = bitFile("good.rbf", "EP2AGZ225FF35C3", 1);
  const std::string other = bitFile("other.rbf", "EP2AGZ350FF35C3", 1);
  std::string bytes;
  {
    std::ifstream in(good, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string truncated = files.write("truncated.rbf", bytes.substr(0, bytes.size() / 2));
  std::string flipped = bytes;
  flipped[flipped.size() / 2] ^= 0x10;
  const std::string corrupted = files.write("corrupted.rbf", flipped);

  struct Case {
    std::string file;
    std::string reason;
  } cases[] = {
      {files.path() + "/missing.rbf", "programming did not start: the bit file '" + files.path() + "/missing.rbf' does not exist"},
      {other, "is for EP2AGZ350FF35C3, but device 0 EP2AGZ225FF35C3 is EP2AGZ225F or EP2AGZ225H"},
      {truncated, "truncated"},
      {corrupted, "checksum"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.file);
    ProcessResult r = runZolta({"program", k.file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.out, "device 0 EP2AGZ225FF35C3: not configured\n")) << r.out;
    EXPECT_TRUE(contains(r.err, "zolta: program: device 0 EP2AGZ225FF35C3 is not configured: ")) << r.err;
    EXPECT_TRUE(contains(r.err, k.reason)) << r.err;
  }
}

TEST_F(CliJtagTest, DeviceCommandsNameTheDeviceTheyCannotReach) {
  struct Case {
    std::vector<std::string> args;
    int exit;
    const char* message;
  } cases[] = {
      {{"status", "--device", "2"}, 1, "device index 2 is beyond the chain: simulated chain EP2AGZ225FF35C3,EP2AGZ300FF35C3 has 2 devices (index 0..1)"},
      {{"usercode", "--cable", "sim:bypass,EP2AGZ225FF35C3", "--device", "0"}, 1, "device 0 on simulated chain bypass,EP2AGZ225FF35C3 has no driver: it answers no IDCODE"},
      {{"reset", "--cable", "sim:bypass"}, 1, "no device on simulated chain bypass is served by a loaded driver; device 0: it answers no IDCODE"},
      {{"program", "x.rbf", "--device", "-1"}, 2, "--device '-1' is not a chain index"},
      {{"program"}, 2, "program: missing the bit file"},
      {{"status", "--cable", "rbb://127.0.0.1:1"}, 1, "127.0.0.1:1"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.message);
    ProcessResult r = runZolta(k.args);
    EXPECT_EQ(r.exitCode, k.exit);
    EXPECT_TRUE(contains(r.err, k.message)) << r.err;
  }
}

// ---- remote_bitbang ------------------------------------------------------------------------------

TEST_F(CliJtagTest, TheServedChainKeepsItsStateFromOneClientToTheNext) {
  Server server;
  const std::string file = bitFile("top.rbf", "EP2AGZ225FF35C3", 0x00C0FFEE);
  ProcessResult program = runZolta({"program", "--cable", server.cable(), file});
  EXPECT_EQ(program.exitCode, 0) << program.err;
  EXPECT_TRUE(contains(program.out, "on remote_bitbang ")) << program.out;

  ProcessResult status = runZolta({"status", "--cable", server.cable()});
  EXPECT_EQ(status.exitCode, 0) << status.err;
  EXPECT_EQ(status.out, "device 0 EP2AGZ225FF35C3: configured\ndevice 1 EP2AGZ300FF35C3: not configured\n");
  ProcessResult usercode = runZolta({"usercode", "--cable", server.cable(), "--json"});
  EXPECT_EQ(usercode.out, "{\"index\": 0, \"device\": \"EP2AGZ225FF35C3\", \"userCode\": \"0x00C0FFEE\"}\n");
  ProcessResult reset = runZolta({"reset", "--cable", server.cable()});
  EXPECT_EQ(reset.exitCode, 0) << reset.err;
  EXPECT_EQ(reset.out, "device 0 EP2AGZ225FF35C3: reset, not configured\n");
  ProcessResult after = runZolta({"usercode", "--cable", server.cable()});
  EXPECT_TRUE(contains(after.out, "user code 0xFFFFFFFF")) << after.out;

  // Ctrl-C ends the server cleanly.
  server.process.signal(SIGINT);
  std::optional<int> code = server.process.wait(5000);
  ASSERT_TRUE(code.has_value()) << "the server did not stop";
  EXPECT_EQ(*code, 0);
  EXPECT_TRUE(contains(server.process.rest, "remote_bitbang server stopped")) << server.process.rest;
}

TEST_F(CliJtagTest, AServerThatDiesWhileProgrammingFailsTheRunQuickly) {
  Server server;
  const std::string file = bitFile("big.rbf", "EP2AGZ225FF35C3", 7, size_t(8) << 20);
  ZoltaProcess program({"program", "--cable", server.cable(), file});
  // Once the client is in, the routine waits a second after PROGRAM, then shifts the file for seconds.
  std::optional<std::string> connected = server.process.readLine(20000);
  ASSERT_TRUE(connected && contains(*connected, "connected")) << program.err();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ASSERT_FALSE(program.wait(0).has_value()) << "programming ended before the server was stopped: " << program.rest;
  server.process.signal(SIGKILL);
  const auto killed = std::chrono::steady_clock::now();
  std::optional<int> code = program.wait(10000);
  ASSERT_TRUE(code.has_value()) << "programming hangs after the server went away";
  EXPECT_LT(std::chrono::steady_clock::now() - killed, std::chrono::seconds(6));
  EXPECT_EQ(*code, 1);
  const std::string err = program.err();
  EXPECT_TRUE(contains(err, "zolta: program: device 0 EP2AGZ225FF35C3: programming failed: ")) << err;
  EXPECT_TRUE(contains(err, "the server closed the connection")) << err;
  EXPECT_TRUE(contains(program.rest, "device 0 EP2AGZ225FF35C3: state unknown")) << program.rest;
}

}  // namespace
}  // namespace zolta::hostapp::test
