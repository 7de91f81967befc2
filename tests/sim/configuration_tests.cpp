#include <gtest/gtest.h>

#include <random>

#include "altera_host_sequences.h"
#include "zolta/sim/arria2gz_device.h"
#include "zolta/sim/cable.h"
#include "zolta/sim/chain.h"
#include "zolta/sim/configuration_engine.h"
#include "zolta/sim/device_catalogue.h"
#include "zolta/sim/rbf.h"
#include "zolta/sim/scan_engine.h"

namespace zsim {
namespace {

std::vector<uint8_t> randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

constexpr uint32_t kUserCode = 0xCAFE1234u;

// A simulated chain driven through the host's sequences.
struct Bench {
  explicit Bench(const char* spec) : cable(buildChain(spec)), engine(cable), host(engine, cable.chain().size()) {
    std::vector<int> lengths;
    for (size_t i = 0; i < cable.chain().size(); ++i) lengths.push_back(cable.chain().device(i).irLength());
    engine.setIrLengths(lengths);
  }
  Arria2GZDevice& fpga(size_t i) { return *cable.chain().deviceAs<Arria2GZDevice>(i); }
  bool confDone(size_t i) {
    const auto* base = fpga(i).kind().base;
    return host.confDone(base->groups, base->confDoneGroup, i);
  }
  // The device state as the driver reports it: 2 configured, 1 not.
  int deviceState(size_t i) { return confDone(i) ? 2 : 1; }
  std::vector<bool> sample(size_t i) {
    engine.loadInstruction(Arria2GZDevice::kSample, i);
    const size_t length = static_cast<size_t>(fpga(i).kind().boundaryLength());
    const size_t others = cable.chain().size() - 1;
    std::vector<bool> out = engine.scanDr(std::vector<bool>(length + others, false));
    const size_t after = cable.chain().size() - 1 - i;
    return {out.begin() + static_cast<long>(after), out.begin() + static_cast<long>(after + length)};
  }

  SimCable cable;
  ScanEngine engine;
  test::AlteraHostSequences host;
};

// The engine finds the file at any bit offset and takes the stream in blocks of any size.
TEST(ConfigurationEngine, FindsTheFileAtAnyOffsetInAnyBlocks) {
  const SimDeviceKind& kind = *findSimDeviceKind("EP2AGZ350FH29C4");
  const std::vector<uint8_t> file = makeRbf("EP2AGZ350FH29C4", 0xABCD, randomBytes(40000, 11));
  std::vector<uint8_t> bad = file;
  bad[kRbfPadding + 64 + 30000] ^= 1;
  for (const std::vector<uint8_t>* f : {&file, static_cast<const std::vector<uint8_t>*>(&bad)})
    for (size_t offset : {0u, 1u, 5u, 8u, 175u, 3181u})
      for (size_t block : {size_t{1}, size_t{7}, size_t{8}, size_t{13}, size_t{4096 * 8 + 3}, size_t{1} << 22}) {
        SCOPED_TRACE(testing::Message() << (f == &file ? "good" : "bad") << " offset " << offset << " block " << block);
        // `offset` ones, the file least significant bit first, then 128 ones and some zeros.
        std::vector<bool> stream(offset, true);
        for (uint8_t byte : *f)
          for (int b = 0; b < 8; ++b) stream.push_back((byte >> b) & 1u);
        stream.insert(stream.end(), 128, true);
        stream.insert(stream.end(), 9, false);
        ConfigurationEngine engine(kind);
        engine.begin();
        for (size_t at = 0; at < stream.size(); at += block) {
          const size_t n = std::min(block, stream.size() - at);
          std::vector<uint8_t> packed((n + 7) / 8, 0);
          for (size_t i = 0; i < n; ++i)
            if (stream[at + i]) packed[i >> 3] |= static_cast<uint8_t>(1u << (i & 7));
          engine.feedBits(packed.data(), n);
        }
        if (f == &file) {
          EXPECT_EQ(engine.state(), ConfigurationEngine::State::Loaded) << engine.error();
          EXPECT_EQ(engine.userCode(), 0xABCDu);
        } else {
          EXPECT_EQ(engine.state(), ConfigurationEngine::State::Failed);
          EXPECT_NE(engine.error().find("checksum mismatch"), std::string::npos) << engine.error();
        }
      }
}

TEST(Configuration, ValidFileConfiguresTheDevice) {
  Bench b("EP2AGZ225FF35C3");
  EXPECT_EQ(b.deviceState(0), 1);
  EXPECT_EQ(b.host.readUserCode(0), 0xFFFFFFFFu);

  b.host.program(makeRbf("EP2AGZ225FF35C3", kUserCode, randomBytes(3000, 1)), 0);
  EXPECT_TRUE(b.fpga(0).configured()) << b.fpga(0).status();
  EXPECT_EQ(b.deviceState(0), 2);
  EXPECT_EQ(b.host.readUserCode(0), kUserCode);
  EXPECT_EQ(b.fpga(0).engine().payloadSize(), 3000u);

  // Configuration survives Test-Logic-Reset; the reset sequence (PROGRAM) clears it.
  b.engine.gotoState(TapState::Reset);
  EXPECT_EQ(b.deviceState(0), 2);
  b.host.reset(0);
  EXPECT_EQ(b.deviceState(0), 1);
  EXPECT_EQ(b.host.readUserCode(0), 0xFFFFFFFFu);
}

TEST(Configuration, ConfDoneProbeReadsTheBitWithTckHighOrLow) {
  Bench b("EP2AGZ300FH29C3");
  b.host.program(makeRbf("EP2AGZ300FH29C3", 1, randomBytes(100, 2)), 0);
  ASSERT_TRUE(b.fpga(0).configured());
  // The probe: 3 * (894 - 190) + 1 - 0 = 2113 clocks in Shift-DR, then TDO.
  for (bool tckLow : {false, true}) {
    SCOPED_TRACE(tckLow ? "TCK low" : "TCK high");
    b.engine.loadInstruction(Arria2GZDevice::kCheckStatus, 0);
    b.engine.moveState(TapState::Idle, TapState::DrShift);
    for (int i = 0; i < 2113; ++i) b.engine.clockTms(false);
    if (tckLow) b.engine.writePins(false, false, b.engine.tdiLevel());
    EXPECT_TRUE(b.engine.readPins());
    // One clock earlier or later reads a cell that does not carry CONF_DONE.
    b.engine.clockTms(false);
    b.engine.clockTms(false);
    b.engine.writePins(false, false, false);
    EXPECT_FALSE(b.engine.readPins());
    b.engine.gotoState(TapState::Idle);
  }
  // The cells around the group read 0 from the start of the register.
  b.engine.loadInstruction(Arria2GZDevice::kCheckStatus, 0);
  const std::vector<bool> status = b.engine.scanDr(std::vector<bool>(2682, false));
  for (size_t i = 0; i < status.size(); ++i)
    EXPECT_EQ(status[i], i >= 2112 && i < 2115) << "cell " << i;
}

// Every FPGA of a longer chain is programmed and probed at its own index, through bypassed neighbours.
TEST(Configuration, EachDeviceOfAChainIsProgrammedAtItsIndex) {
  Bench b("EP2AGZ225FF35C3,bypass:6,EP2AGZ350HF40I4N");
  EXPECT_EQ(b.deviceState(0), 1);
  EXPECT_EQ(b.deviceState(2), 1);

  b.host.program(makeRbf("EP2AGZ350HF40I4N", 0x350, randomBytes(500, 3)), 2);
  EXPECT_EQ(b.deviceState(2), 2) << b.fpga(2).status();
  EXPECT_EQ(b.deviceState(0), 1);
  EXPECT_EQ(b.host.readUserCode(2), 0x350u);

  b.host.program(makeRbf("EP2AGZ225FF35C3", 0x225, randomBytes(500, 4)), 0);
  EXPECT_EQ(b.deviceState(0), 2) << b.fpga(0).status();
  EXPECT_EQ(b.deviceState(2), 2);
  EXPECT_EQ(b.host.readUserCode(0), 0x225u);
  EXPECT_EQ(b.host.readUserCode(2), 0x350u);

  b.host.reset(2);
  EXPECT_EQ(b.deviceState(2), 1);
  EXPECT_EQ(b.deviceState(0), 2);
}

TEST(Configuration, OnlyAValidFileForThisDeviceConfiguresIt) {
  const std::vector<uint8_t> payload = randomBytes(2000, 5);
  const std::vector<uint8_t> good = makeRbf("EP2AGZ300FF35C3", kUserCode, payload);
  auto flipped = [&](size_t at) {
    std::vector<uint8_t> v = good;
    v[at] ^= 0x10;
    return v;
  };
  auto cut = [&](size_t keep) { return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(keep)); };
  const size_t header = kRbfPadding;

  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    test::ProgramOptions options;
    bool configures;
    const char* statusMentions;
  };
  const Case cases[] = {
      {"valid", good, {}, true, "configured, user code 0xCAFE1234"},
      {"same die and package, other grades", makeRbf("EP2AGZ300FF35I4N", 7, payload), {}, true, "configured"},
      {"active disengage first", good, {.activeDisengage = true}, true, "configured"},
      {"padding skipped", good, {.skipBytes = kRbfPadding}, true, "configured"},
      {"more leading clocks", good, {.clockCycles = 3181}, true, "configured"},
      {"exactly enough start-up clocks", good, {.startupPairs = Arria2GZDevice::kStartupClocks / 2}, true, "configured"},
      {"payload bit flipped", flipped(header + 64 + 1000), {}, false, "checksum mismatch"},
      {"checksum flipped", flipped(good.size() - 2), {}, false, "checksum mismatch"},
      {"device name flipped", flipped(header + 10), {}, false, "header checksum mismatch"},
      {"other die", makeRbf("EP2AGZ350FF35C3", 1, payload), {}, false, "it is for EP2AGZ350FF35C3"},
      {"other package of the die", makeRbf("EP2AGZ300FH29C3", 1, payload), {}, false, "it is for EP2AGZ300FH29C3"},
      {"truncated payload", cut(good.size() - 100), {}, false, "not configured"},
      {"truncated checksum", cut(good.size() - 1), {}, false, "not configured"},
      {"truncated header", cut(header + 40), {}, false, "not configured"},
      {"header skipped", good, {.skipBytes = kRbfPadding + 1}, false, "waiting for a bit stream"},
      {"not a bit file", randomBytes(3000, 6), {}, false, "not configured"},
      {"empty file", {}, {}, false, "waiting for a bit stream"},
      {"too few start-up clocks", good, {.startupPairs = Arria2GZDevice::kStartupClocks / 2 - 1}, false,
       "start-up not finished"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bench b("EP2AGZ300FF35C3");
    // A configured device first, so that a failed download is seen to leave it unconfigured.
    b.host.program(good, 0);
    ASSERT_EQ(b.deviceState(0), 2);
    b.host.program(c.file, 0, c.options);
    EXPECT_EQ(b.deviceState(0), c.configures ? 2 : 1);
    EXPECT_EQ(b.host.readUserCode(0), c.configures ? b.fpga(0).engine().userCode() : 0xFFFFFFFFu);
    EXPECT_NE(b.fpga(0).status().find(c.statusMentions), std::string::npos) << b.fpga(0).status();
  }
}

TEST(Configuration, SampleShowsMovingPinsOnlyOnceConfigured) {
  Bench b("bypass,EP2AGZ225FF35C3");
  const std::vector<bool> idle1 = b.sample(1), idle2 = b.sample(1);
  EXPECT_EQ(idle1, idle2);
  for (size_t g = 0; g < 758; ++g) {
    EXPECT_TRUE(idle1[3 * g]) << "unconfigured pin " << g << " floats high";
    EXPECT_FALSE(idle1[3 * g + 2]) << "unconfigured pin " << g << " is not driven";
  }

  b.host.program(makeRbf("EP2AGZ225FF35C3", kUserCode, randomBytes(64, 7)), 1);
  ASSERT_EQ(b.deviceState(1), 2);
  std::vector<bool> previous = b.sample(1);
  size_t changedPins = 0;
  for (int round = 0; round < 4; ++round) {
    const std::vector<bool> now = b.sample(1);
    EXPECT_NE(now, previous) << "round " << round;
    for (size_t g = 0; g < 758; ++g) {
      if (now[3 * g] != previous[3 * g]) ++changedPins;
      EXPECT_EQ(now[3 * g + 2], g % 4 != 3) << "pin " << g << " drive";
      if (now[3 * g + 2]) {
        EXPECT_EQ(now[3 * g], now[3 * g + 1]) << "driven pin " << g << " reads its output";
      }
      EXPECT_EQ(static_cast<bool>(now[3 * g]), b.fpga(1).pinLevel(static_cast<int>(g)));
    }
    previous = now;
  }
  EXPECT_GT(changedPins, 4u * 758 / 8);
}

TEST(Configuration, ExtestDrivesPinsFromTheUpdateStageAndReadsThemBack) {
  Bench b("EP2AGZ225FF35C3");
  const size_t length = 2274;
  // Preload: pin g driven (enable 1) with level g % 3 == 0 for even g; odd pins not driven.
  std::vector<bool> preload(length, false);
  for (size_t g = 0; g < length / 3; ++g) {
    preload[3 * g + 1] = g % 3 == 0;
    preload[3 * g + 2] = g % 2 == 0;
  }
  b.engine.loadInstruction(Arria2GZDevice::kSample, 0);
  b.engine.scanDr(preload);
  b.engine.loadInstruction(Arria2GZDevice::kExtest, 0);
  for (int g : {0, 1, 2, 3, 6, 9}) EXPECT_EQ(b.fpga(0).pinLevel(g), g % 2 == 0 ? g % 3 == 0 : true) << g;
  const std::vector<bool> captured = b.engine.scanDr(std::vector<bool>(length, false));
  for (size_t g = 0; g < length / 3; ++g) {
    const bool expected = g % 2 == 0 ? g % 3 == 0 : true;
    EXPECT_EQ(captured[3 * g], expected) << "pin " << g;
  }
  // The EXTEST scan updated the stage with zeros: nothing is driven any more.
  EXPECT_TRUE(b.fpga(0).pinLevel(0));
  // CLAMP drives from the update stage too; HIGHZ lets every pin float.
  b.engine.loadInstruction(Arria2GZDevice::kSample, 0);
  b.engine.scanDr(preload);
  b.engine.loadInstruction(Arria2GZDevice::kClamp, 0);
  EXPECT_FALSE(b.fpga(0).pinLevel(2));
  EXPECT_TRUE(b.fpga(0).pinLevel(6));
  b.engine.loadInstruction(Arria2GZDevice::kHighz, 0);
  EXPECT_TRUE(b.fpga(0).pinLevel(2));
}

}  // namespace
}  // namespace zsim
