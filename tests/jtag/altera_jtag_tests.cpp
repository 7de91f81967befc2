#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "jtag_fixtures.h"
#include "zolta/host/host_ui.h"
#include "zolta/jtag/altera_jtag.h"
#include "zolta/sim/arria2gz_device.h"
#include "zolta/sim/chain.h"
#include "zolta/sim/rbf.h"
#include "zolta/sim/remote_bitbang.h"

namespace zolta {
namespace {

using jtagtest::Bench;
using jtagtest::FakeHost;
using jtagtest::Scripted;
using jtagtest::SimChannel;
using jtagtest::TempDir;
using Log = std::vector<std::string>;

// ---- log helpers ---------------------------------------------------------------------------------------

bool isPinToken(const std::string& t) {
  static const std::set<std::string> pins = {"TCK0", "TCK1", "TDI0", "TDI1", "TMS0", "TMS1", "W", "R", "TDO"};
  return pins.count(t) > 0;
}

// The channel's dispatch operations in order, pin operations left out.
Log dispatchOps(const Log& log) {
  Log r;
  for (const auto& t : log)
    if (!isPinToken(t)) r.push_back(t);
  return r;
}

Log repeat(const std::string& token, size_t n) { return Log(n, token); }

Log concat(std::initializer_list<Log> parts) {
  Log r;
  for (const auto& p : parts) r.insert(r.end(), p.begin(), p.end());
  return r;
}

size_t countPattern(const Log& log, const Log& pattern) {
  size_t n = 0;
  for (size_t i = 0; i + pattern.size() <= log.size(); ++i)
    if (std::equal(pattern.begin(), pattern.end(), log.begin() + long(i))) ++n;
  return n;
}

// The bits of every data-bit step (TCK low, TDI, write, TCK high, write), in order.
std::vector<int> dataBits(const Log& log) {
  std::vector<int> bits;
  for (size_t i = 0; i + 5 <= log.size(); ++i) {
    if (log[i] == "TCK0" && (log[i + 1] == "TDI0" || log[i + 1] == "TDI1") && log[i + 2] == "W" &&
        log[i + 3] == "TCK1" && log[i + 4] == "W")
      bits.push_back(log[i + 1] == "TDI1");
  }
  return bits;
}

std::vector<int> bitsOf(const std::vector<uint8_t>& bytes, size_t skip = 0) {
  std::vector<int> bits;
  for (size_t i = skip; i < bytes.size(); ++i)
    for (int b = 0; b < 8; ++b) bits.push_back((bytes[i] >> b) & 1);
  return bits;
}

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> r(n);
  for (auto& b : r) b = uint8_t(rng());
  return r;
}

// ---- without a channel ------------------------------------------------------------------------------------

TEST(AlteraJtagWithoutChannel, AnswersFixedValuesAndCallsNothing) {
  FakeHost host;
  TempDir dir;
  const std::string file = dir.write("a.rbf", std::string(100, 'x'));
  Scripted driver = jtagtest::makeDriver("Arria2GZ");
  driver.obj->log = &host.log;
  EXPECT_EQ(AlteraReadUserCode({}, 0), -1);
  EXPECT_EQ(AlteraDeviceState("EP2AGZ225F", {}, 0), kDeviceState_NotConfigured);
  EXPECT_FALSE(ConfDoneProbe("EP2AGZ225F", {}, 0));
  EXPECT_FALSE(AlteraResetDevice("EP2AGZ225F", {}, 0));
  EXPECT_EQ(AlteraProgramDevice(driver.ref, file, {}, 0), 0);
  EXPECT_TRUE(host.log.empty());
}

// ---- user code, state, reset -------------------------------------------------------------------------------

TEST(AlteraReadUserCode, LoadsUserCodeAndScans32BitsUnderTheLock) {
  Bench b("bypass,EP2AGZ225FF35C3");
  EXPECT_EQ(AlteraReadUserCode(b.channel, 1), -1);  // unconfigured: all ones
  EXPECT_EQ(b.ch->log, (Log{"Lock", "Goto(2)", "IR(7,1)", "Scan(0,32,1)", "Unlock"}));
  EXPECT_EQ(b.ch->lockDepth, 0);
}

struct ProbeCase {
  const char* chain;
  int32_t index;
  const char* baseName;
  size_t clocks;
};

class ConfDoneProbeTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ConfDoneProbeTest, ShiftsToTheConfDoneCellAndReadsIt) {
  const ProbeCase& c = GetParam();
  Bench b(c.chain);
  EXPECT_EQ(AlteraDeviceState(c.baseName, b.channel, c.index), kDeviceState_NotConfigured);
  const std::string ir = "IR(4," + std::to_string(c.index) + ")";
  EXPECT_EQ(b.ch->log, concat({{"Lock", ir, "Move(2,5)", "Length"}, repeat("Tms(0)", c.clocks),
                               {"R", "TDO", "Tms(1)", "Move(6,2)", "Unlock"}}));
  EXPECT_EQ(b.ch->lockDepth, 0);

  b.ch->log.clear();
  b.ch->tdoOverride = true;
  EXPECT_EQ(AlteraDeviceState(c.baseName, b.channel, c.index), kDeviceState_Configured);
}

INSTANTIATE_TEST_SUITE_P(
    Chains, ConfDoneProbeTest,
    ::testing::Values(ProbeCase{"EP2AGZ225FF35C3", 0, "EP2AGZ225F", 3 * 572 + 1},
                      ProbeCase{"bypass,EP2AGZ300FH29I4", 1, "EP2AGZ300F", 3 * 704 + 2 - 1},
                      ProbeCase{"EP2AGZ350HF40C3,bypass,bypass", 0, "ep2agz350h", 3 * 704 + 3}));

TEST(ConfDoneProbe, UnknownPartReadsNotConfiguredWithoutShifting) {
  Bench b("EP2AGZ225FF35C3");
  b.ch->tdoOverride = true;
  EXPECT_EQ(AlteraDeviceState("EP2AGZ225", b.channel, 0), kDeviceState_NotConfigured);
  EXPECT_EQ(b.ch->log, (Log{"Lock", "IR(4,0)", "Move(2,5)", "Unlock"}));
}

TEST(AlteraResetDevice, LoadsProgramThenAsksTheState) {
  Bench b("bypass,EP2AGZ225FF35C3");
  EXPECT_TRUE(AlteraResetDevice("EP2AGZ225F", b.channel, 1));
  const Log ops = dispatchOps(b.ch->log);
  ASSERT_GE(ops.size(), 8u);
  EXPECT_EQ(Log(ops.begin(), ops.begin() + 8),
            (Log{"Lock", "Goto(2)", "IR(2,1)", "Goto(2)", "Unlock", "Lock", "IR(4,1)", "Move(2,5)"}));
  EXPECT_EQ(b.ch->locks, 2);
  EXPECT_EQ(b.ch->lockDepth, 0);

  b.ch->tdoOverride = true;  // a device that still reads configured
  EXPECT_FALSE(AlteraResetDevice("EP2AGZ225F", b.channel, 1));
  // A part the table does not know always reads not configured, so its reset succeeds.
  EXPECT_TRUE(AlteraResetDevice("EP9XYZ", b.channel, 1));
}

// ---- programming -------------------------------------------------------------------------------------------

class AlteraProgramDeviceTest : public ::testing::Test {
 protected:
  FakeHost host;
  TempDir dir;
  Scripted driver = jtagtest::makeDriver("Arria2GZ");

  std::vector<uint8_t> rbf(const std::string& device, uint32_t userCode, size_t payload = 1000) {
    return zsim::makeRbf(device, userCode, randomBytes(payload, userCode));
  }
};

TEST_F(AlteraProgramDeviceTest, ConfiguresTheSimulatedDeviceAndReadsItsUserCodeBack) {
  Bench b("EP2AGZ225FF35C3");
  const auto bytes = rbf("EP2AGZ225FF35C3", 0xCAFE1234);
  const std::string file = dir.write("design.rbf", bytes);

  EXPECT_EQ(AlteraProgramDevice(driver.ref, file, b.channel, 0), int32_t(bytes.size() * 8));
  EXPECT_EQ(b.ch->lockDepth, 0);
  EXPECT_EQ(b.ch->locks, 1);
  EXPECT_TRUE(b.device(0).configured()) << b.device(0).status();
  EXPECT_EQ(AlteraDeviceState("EP2AGZ225F", b.channel, 0), kDeviceState_Configured);
  EXPECT_EQ(uint32_t(AlteraReadUserCode(b.channel, 0)), 0xCAFE1234u);

  // The channel sees the fixed sequence: PROGRAM, the data in DRSHIFT, STARTUP with 400 idle clocks.
  const Log& log = b.ch->log;
  Log ops = dispatchOps(log);
  ops.resize(std::find(ops.begin(), ops.end(), "Unlock") - ops.begin() + 1);
  EXPECT_EQ(ops, concat({{"Lock", "Prepare", "Goto(2)", "IR(2,0)", "Move(2,5)", "Tms(1)", "Move(6,2)", "IR(3,0)"},
                         repeat("Tms(0)", 400),
                         {"Goto(2)", "Unlock"}}));
  EXPECT_EQ(countPattern(log, {"TDI0", "W", "Tms(0)", "TDI1", "W", "Tms(0)"}), 200u);
  // TDI high before entering DRSHIFT, then the family's clock cycles (175 for Arria2GZ).
  EXPECT_EQ(countPattern(log, {"TDI1", "W", "Move(2,5)"}), 1u);
  EXPECT_EQ(countPattern(log, {"TCK0", "W", "TCK1", "W"}), 175u);
  // Every byte least significant bit first, then 128 ones.
  std::vector<int> expected = bitsOf(bytes);
  expected.insert(expected.end(), 128, 1);
  EXPECT_EQ(dataBits(log), expected);
  // Device index 0: TCK low once more after the trailing ones, then TDI low and TCK low.
  EXPECT_EQ(countPattern(log, {"TCK1", "W", "TCK0", "W", "TDI0", "W", "TCK0", "W", "Tms(1)"}), 1u);

  // The status bar: one progress of one step per byte.
  EXPECT_EQ(host.statusCommands(-3), 1u);
  EXPECT_EQ(host.statusCommands(-7), 100u);
  EXPECT_EQ(host.statusCommands(-4), 1u);
  EXPECT_EQ(ProgressDepth(), 0);
}

TEST_F(AlteraProgramDeviceTest, SendsBytesLeastSignificantBitFirstAndAnswersTheFileBits) {
  // A file that is not a bit file at all still runs: the routine answers its bits, the device
  // stays unconfigured.
  Bench b("EP2AGZ225FF35C3");
  std::vector<uint8_t> bytes(100, 0);
  bytes[0] = 0x01;
  bytes[1] = 0x80;
  const std::string file = dir.write("x.rbf", bytes);
  EXPECT_EQ(AlteraProgramDevice(driver.ref, file, b.channel, 0), 800);
  const std::vector<int> bits = dataBits(b.ch->log);
  ASSERT_EQ(bits.size(), 800u + 128u);
  EXPECT_EQ(std::vector<int>(bits.begin(), bits.begin() + 16),
            (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(AlteraDeviceState("EP2AGZ225F", b.channel, 0), kDeviceState_NotConfigured);
}

TEST_F(AlteraProgramDeviceTest, SkipsTheLeadingBytesTheFamilyAsksToIgnore) {
  host.families["Arria2GZ"]["ND_ProgramBitsToIgnore"] = Var(int32_t(10));
  Bench b("EP2AGZ225FF35C3");
  // The file starts with 16 bytes of 0xFF padding, so it stays valid without its first 10 bytes.
  const auto bytes = zsim::makeRbf("EP2AGZ225FF35C3", 7, randomBytes(68, 3));
  ASSERT_EQ(bytes.size(), 100u + 52u);
  const std::string file = dir.write("skip.rbf", bytes);
  EXPECT_EQ(AlteraProgramDevice(driver.ref, file, b.channel, 0), int32_t(bytes.size() * 8));
  std::vector<int> expected = bitsOf(bytes, 10);
  expected.insert(expected.end(), 128, 1);
  EXPECT_EQ(dataBits(b.ch->log), expected);
  EXPECT_EQ(host.statusCommands(-7), 100u);  // every byte, sent or skipped, is a step
  EXPECT_TRUE(b.device(0).configured()) << b.device(0).status();
}

TEST_F(AlteraProgramDeviceTest, BehindAnotherDeviceEveryBitGetsAnExtraClockLowWrite) {
  host.families["Arria2GZ"]["ND_ActiveDisengage"] = Var(true);
  Bench b("bypass,EP2AGZ300FF35C3");
  const auto bytes = rbf("EP2AGZ300FF35C3", 0x00C0FFEE, 200);
  const std::string file = dir.write("two.rbf", bytes);
  EXPECT_EQ(AlteraProgramDevice(driver.ref, file, b.channel, 1), int32_t(bytes.size() * 8));

  const Log& log = b.ch->log;
  EXPECT_EQ(countPattern(log, {"TCK0", "W", "TCK0", "TDI0"}) + countPattern(log, {"TCK0", "W", "TCK0", "TDI1"}),
            bytes.size() * 8);
  Log ops = dispatchOps(log);
  EXPECT_EQ(Log(ops.begin(), ops.begin() + 6), (Log{"Lock", "Prepare", "Goto(2)", "IR(720,1)", "Goto(2)", "IR(2,1)"}));
  EXPECT_EQ(countPattern(ops, {"Move(2,5)", "Tms(0)", "Tms(1)", "Move(6,2)", "IR(3,1)"}), 1u);
  // No extra TCK-low write after the trailing ones on index 1.
  EXPECT_EQ(countPattern(log, {"TCK1", "W", "TDI0", "W", "TCK0", "W", "Tms(0)"}), 1u);
  EXPECT_TRUE(b.device(1).activeDisengaged());
  EXPECT_TRUE(b.device(1).configured()) << b.device(1).status();
  EXPECT_EQ(AlteraDeviceState("EP2AGZ300F", b.channel, 1), kDeviceState_Configured);
  EXPECT_EQ(AlteraReadUserCode(b.channel, 1), 0x00C0FFEE);
}

TEST_F(AlteraProgramDeviceTest, TakesTheClockCyclesFromTheFamilyConfiguration) {
  dir.write("ext/ZoltaConfig.ini", "[General]\nDeviceFamily=Arria2GZ\n[ClockCore]\nCycles=500\n");
  host.pluginFolders.push_back(dir.file("ext"));
  Bench b("EP2AGZ225FF35C3");
  const std::string file = dir.write("c.rbf", std::vector<uint8_t>(10, 0xFF));
  EXPECT_EQ(AlteraProgramDevice(driver.ref, file, b.channel, 0), 80);
  EXPECT_EQ(countPattern(b.ch->log, {"TCK0", "W", "TCK1", "W"}), 500u);
}

TEST_F(AlteraProgramDeviceTest, BadBitFilesLeaveTheDeviceNotConfigured) {
  Bench b("EP2AGZ225FF35C3");
  const auto good = rbf("EP2AGZ225FF35C3", 0x11111111);
  auto truncated = good;
  truncated.resize(good.size() - 100);
  auto corrupt = good;
  corrupt[zsim::kRbfPadding + zsim::kRbfHeaderSize + 10] ^= 0x40;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"another device", rbf("EP2AGZ300FF35C3", 0x22222222)},
      {"truncated", truncated},
      {"corrupt", corrupt},
      {"empty", {}},
      {"random", randomBytes(5000, 9)},
  };
  // Configure first, so that each bad file has to take the configuration away.
  ASSERT_GT(AlteraProgramDevice(driver.ref, dir.write("good.rbf", good), b.channel, 0), 0);
  ASSERT_EQ(AlteraDeviceState("EP2AGZ225F", b.channel, 0), kDeviceState_Configured);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = dir.write(std::string(c.what) + ".rbf", c.bytes);
    EXPECT_EQ(AlteraProgramDevice(driver.ref, file, b.channel, 0), int32_t(c.bytes.size() * 8));
    EXPECT_EQ(AlteraDeviceState("EP2AGZ225F", b.channel, 0), kDeviceState_NotConfigured);
    EXPECT_EQ(AlteraReadUserCode(b.channel, 0), -1);
    EXPECT_EQ(b.ch->lockDepth, 0);
  }
}

TEST_F(AlteraProgramDeviceTest, MissingFilesSendNothingAndNamesMatchIgnoringCase) {
  Bench b("EP2AGZ225FF35C3");
  for (const std::string& name : {dir.file("missing.rbf"), std::string(), dir.file("")}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(AlteraProgramDevice(driver.ref, name, b.channel, 0), 0);
    EXPECT_TRUE(b.ch->log.empty());
  }
  const auto bytes = rbf("EP2AGZ225FF35C3", 0x5A5A5A5A);
  dir.write("Out/design.rbf", bytes);
  EXPECT_EQ(AlteraProgramDevice(driver.ref, dir.file("OUT/DESIGN.RBF"), b.channel, 0), int32_t(bytes.size() * 8));
  EXPECT_EQ(AlteraDeviceState("EP2AGZ225F", b.channel, 0), kDeviceState_Configured);
}

// ---- failures -------------------------------------------------------------------------------------------

TEST_F(AlteraProgramDeviceTest, ChannelWithoutPinAccessFailsBeforeLocking) {
  Bench b("EP2AGZ225FF35C3");
  b.ch->offerPins = false;
  const std::string file = dir.write("a.rbf", std::string(10, 'a'));
  EXPECT_THROW(
      {
        try {
          AlteraProgramDevice(driver.ref, file, b.channel, 0);
        } catch (const zabi::DispatchError& e) {
          EXPECT_NE(std::string(e.what()).find("pin-level"), std::string::npos) << e.what();
          throw;
        }
      },
      zabi::DispatchError);
  EXPECT_THROW(AlteraDeviceState("EP2AGZ225F", b.channel, 0), zabi::DispatchError);
  EXPECT_EQ(b.ch->locks, 0);
}

TEST_F(AlteraProgramDeviceTest, MissingHostFamilyFailsWithTheChannelUnlocked) {
  Bench b("EP2AGZ225FF35C3");
  const std::string file = dir.write("a.rbf", std::string(10, 'a'));
  struct Case {
    const char* what;
    std::function<void()> arrange;
    const char* message;
  } cases[] = {
      {"unknown family", [&] { driver.obj->answer(503382, Var("Nonesuch")); }, "no device family \"Nonesuch\""},
      {"no family manager", [&] { host.withFamilyManager = false; }, "no family manager"},
      {"no device manager", [&] { host.dropDeviceManager(); }, "no device manager"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    b.ch->log.clear();
    try {
      AlteraProgramDevice(driver.ref, file, b.channel, 0);
      ADD_FAILURE() << "no error";
    } catch (const zabi::DispatchError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
    EXPECT_EQ(b.ch->log, (Log{"Lock", "Prepare", "Unlock"}));
    EXPECT_EQ(b.ch->lockDepth, 0);
    EXPECT_EQ(ProgressDepth(), 0);
  }
}

TEST_F(AlteraProgramDeviceTest, PortFailingMidStreamEndsProgressAndUnlocks) {
  Bench b("EP2AGZ225FF35C3");
  b.ch->logging = false;
  const auto bytes = rbf("EP2AGZ225FF35C3", 1, 4000);
  const std::string file = dir.write("a.rbf", bytes);
  b.ch->failPinsFromWrite = 20000;  // inside the data: 175 cycles take 350 writes, each bit 2
  try {
    AlteraProgramDevice(driver.ref, file, b.channel, 0);
    ADD_FAILURE() << "no error";
  } catch (const zabi::DispatchError& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find("WritePins"), std::string::npos) << m;
    EXPECT_NE(m.find("0x80004005"), std::string::npos) << m;
    EXPECT_NE(m.find("at byte "), std::string::npos) << m;
    EXPECT_NE(m.find("JTAG index 0"), std::string::npos) << m;
  }
  EXPECT_EQ(b.ch->lockDepth, 0);
  EXPECT_EQ(ProgressDepth(), 0);
  EXPECT_EQ(host.statusCommands(-4), 1u);
}

TEST(AlteraJtagFailures, AFailingChannelOperationUnlocksTheChannel) {
  struct Case {
    const char* what;
    DispId fails;
    std::function<void(const DispPtr&)> run;
  } cases[] = {
      {"user code scan", zabi::host::JTagChannel_ScanData, [](const DispPtr& c) { AlteraReadUserCode(c, 0); }},
      {"probe instruction", zabi::host::JTagChannel_LoadInstruction,
       [](const DispPtr& c) { AlteraDeviceState("EP2AGZ225F", c, 0); }},
      {"probe clocks", zabi::host::JTagChannel_ClockTms, [](const DispPtr& c) { ConfDoneProbe("EP2AGZ225F", c, 0); }},
      {"reset walk", zabi::host::JTagChannel_GotoTapState,
       [](const DispPtr& c) { AlteraResetDevice("EP2AGZ225F", c, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bench b("EP2AGZ225FF35C3");
    b.ch->failDispatch = c.fails;
    try {
      c.run(b.channel);
      ADD_FAILURE() << "no error";
    } catch (const zabi::DispatchError& e) {
      EXPECT_NE(std::string(e.what()).find("injected failure"), std::string::npos) << e.what();
    }
    EXPECT_EQ(b.ch->locks, 1);
    EXPECT_EQ(b.ch->lockDepth, 0);
    EXPECT_EQ(b.ch->log.back(), "Unlock");
  }
}

TEST_F(AlteraProgramDeviceTest, RefusesFilesTooLargeForTheBitCountBeforeLocking) {
  Bench b("EP2AGZ225FF35C3");
  const std::string file = dir.file("huge.rbf");
  {
    std::ofstream(file, std::ios::binary).put('\0');
  }
  ASSERT_EQ(::truncate(file.c_str(), off_t(256) << 20), 0);  // sparse: takes no space
  try {
    AlteraProgramDevice(driver.ref, file, b.channel, 0);
    ADD_FAILURE() << "no error";
  } catch (const zabi::DispatchError& e) {
    EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
  }
  EXPECT_EQ(b.ch->locks, 0);
}

TEST_F(AlteraProgramDeviceTest, RemoteBitbangServerDisappearingFailsPromptlyAndUnlocks) {
  auto chain = std::shared_ptr<zsim::Chain>(zsim::buildChain("EP2AGZ225FF35C3"));
  zsim::RemoteBitbangServer server(chain, 0);
  std::atomic<bool> stop{false};
  std::thread serving([&] { server.run(stop); });
  Bench b(chain, std::make_unique<zsim::RemoteBitbangCable>("127.0.0.1", server.port(), std::chrono::seconds(2)));
  b.ch->logging = false;
  b.ch->hookAtWrite = 100000;  // inside the data
  b.ch->hook = [&] {
    stop = true;
    serving.join();
  };
  const auto bytes = rbf("EP2AGZ225FF35C3", 1, 200000);
  const std::string file = dir.write("a.rbf", bytes);

  const auto start = std::chrono::steady_clock::now();
  try {
    AlteraProgramDevice(driver.ref, file, b.channel, 0);
    ADD_FAILURE() << "no error";
  } catch (const zabi::DispatchError& e) {
    EXPECT_NE(std::string(e.what()).find("the JTAG port failed"), std::string::npos) << e.what();
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::seconds(10));  // the PROGRAM wait, a little data, the cable's timeout
  EXPECT_NE(b.ch->cableError.find("127.0.0.1"), std::string::npos) << b.ch->cableError;
  EXPECT_EQ(b.ch->lockDepth, 0);
  EXPECT_EQ(ProgressDepth(), 0);
  if (serving.joinable()) serving.join();
}

}  // namespace
}  // namespace zolta
