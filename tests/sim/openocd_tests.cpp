#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include "server_thread.h"

namespace zsim {
namespace {

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':'))
    if (!dir.empty() && std::filesystem::exists(std::filesystem::path(dir) / program)) return true;
  return false;
}

// Debian's OpenOCD scans our server: both IDCODEs are found where the TAP declarations expect them.
TEST(OpenOcd, ScansTheServedChain) {
  if (!onPath("openocd")) GTEST_SKIP() << "openocd is not installed";
  test::ServerThread st("EP2AGZ225FF35C3,EP2AGZ300FF35C3");
  const std::string port = std::to_string(st.server.port());
  // OpenOCD declares TAPs from the TDO end: our chain index 1 comes first.
  const std::string command =
      "timeout 60 openocd"
      " -c 'adapter driver remote_bitbang'"
      " -c 'remote_bitbang host 127.0.0.1'"
      " -c 'remote_bitbang port " + port + "'"
      " -c 'transport select jtag'"
      " -c 'jtag newtap fpga1 tap -irlen 10 -expected-id 0x0240a0dd'"
      " -c 'jtag newtap fpga0 tap -irlen 10 -expected-id 0x024810dd'"
      " -c init -c scan_chain -c shutdown 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
  const int status = pclose(pipe);
  SCOPED_TRACE(output);
  EXPECT_EQ(status, 0);
  EXPECT_NE(output.find("fpga1.tap tap/device found: 0x0240a0dd"), std::string::npos);
  EXPECT_NE(output.find("fpga0.tap tap/device found: 0x024810dd"), std::string::npos);
  EXPECT_EQ(output.find("UNEXPECTED"), std::string::npos);
  EXPECT_EQ(output.find("Error"), std::string::npos);
  // The scan_chain table lists both with the instruction length we declared and the capture it saw.
  EXPECT_TRUE(std::regex_search(output, std::regex(R"(fpga1\.tap\s+Y\s+0x0240a0dd\s+0x0240a0dd\s+10\s)")));
  EXPECT_TRUE(std::regex_search(output, std::regex(R"(fpga0\.tap\s+Y\s+0x024810dd\s+0x024810dd\s+10\s)")));
}

}  // namespace
}  // namespace zsim
