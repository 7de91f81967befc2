#include <gtest/gtest.h>

#include <random>
#include <set>

#include "zolta/sim/arria2gz_device.h"
#include "zolta/sim/bypass_device.h"
#include "zolta/sim/cable.h"
#include "zolta/sim/chain.h"
#include "zolta/sim/device_catalogue.h"
#include "zolta/sim/error.h"
#include "zolta/sim/scan_engine.h"

namespace zsim {
namespace {

TEST(Catalogue, SixtyFourKindsInCatalogueOrder) {
  const auto& kinds = simDeviceKinds();
  ASSERT_EQ(kinds.size(), 64u);
  EXPECT_EQ(kinds[0].name, "EP2AGZ225FF35C3");
  EXPECT_EQ(kinds[7].name, "EP2AGZ225FF35I4N");
  EXPECT_EQ(kinds[16].name, "EP2AGZ300FF35C3");
  EXPECT_EQ(kinds[20].name, "EP2AGZ300FH29C3");
  EXPECT_EQ(kinds[24].name, "EP2AGZ300FF35C3N");
  EXPECT_EQ(kinds[63].name, "EP2AGZ350HF40I4N");
  std::set<std::string> names;
  for (const auto& k : kinds) names.insert(k.name);
  EXPECT_EQ(names.size(), 64u);

  const SimDeviceKind* k = findSimDeviceKind("ep2agz300fh29i4n");
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->name, "EP2AGZ300FH29I4N");
  EXPECT_EQ(k->partPrefix(), "EP2AGZ300FH29");
  EXPECT_EQ(k->base->idcode, 0x0240A0DDu);
  EXPECT_EQ(k->boundaryLength(), 2682);
  EXPECT_EQ(findSimDeviceKind("EP2AGZ225FF35C3")->boundaryLength(), 2274);
  EXPECT_EQ(findSimDeviceKind("EP2AGZ225F"), nullptr);
}

TEST(ChainSpec, BuildsTheListedDevicesFromTdiToTdo) {
  auto chain = buildChain(" ep2agz225ff35c3 , bypass,bypass:7 ,EP2AGZ350HF40I4N");
  ASSERT_EQ(chain->size(), 4u);
  EXPECT_EQ(chain->describe(), "EP2AGZ225FF35C3,bypass,bypass:7,EP2AGZ350HF40I4N");
  EXPECT_EQ(chain->device(0).idcode(), 0x024810DDu);
  EXPECT_EQ(chain->device(1).irLength(), 4);
  EXPECT_EQ(chain->device(2).irLength(), 7);
  EXPECT_EQ(chain->device(3).idcode(), 0x024820DDu);
  EXPECT_NE(chain->deviceAs<Arria2GZDevice>(0), nullptr);
  EXPECT_EQ(chain->deviceAs<Arria2GZDevice>(1), nullptr);
  EXPECT_EQ(buildChain(defaultChainSpec())->describe(), "EP2AGZ225FF35C3");
}

TEST(ChainSpec, RejectsMalformedDescriptionsNamingTheFault) {
  struct Case {
    const char* spec;
    const char* mentions;
  };
  const Case cases[] = {
      {"", "empty"},
      {"   ", "empty"},
      {"EP2AGZ225FF35C3,", "empty device name"},
      {",EP2AGZ225FF35C3", "empty device name"},
      {"EP2AGZ225FF35C3,,bypass", "empty device name"},
      {"EP2AGZ999FF35C3", "unknown device 'EP2AGZ999FF35C3'"},
      {"EP2AGZ225F", "unknown device 'EP2AGZ225F'"},
      {"bypass:1", "outside 2..32"},
      {"bypass:33", "outside 2..32"},
      {"bypass:", "needs an instruction length"},
      {"bypass:x4", "needs an instruction length"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    try {
      buildChain(c.spec);
      ADD_FAILURE() << "accepted";
    } catch (const SimError& e) {
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
    }
  }
}

struct ChainFixture : ::testing::Test {
  void make(const char* spec) {
    cable = std::make_unique<SimCable>(buildChain(spec));
    engine = std::make_unique<ScanEngine>(*cable);
    std::vector<int> lengths;
    for (size_t i = 0; i < cable->chain().size(); ++i) lengths.push_back(cable->chain().device(i).irLength());
    engine->setIrLengths(lengths);
  }
  std::unique_ptr<SimCable> cable;
  std::unique_ptr<ScanEngine> engine;
};

TEST_F(ChainFixture, IdcodeScanOfTwoDevicesAnswersInChainOrder) {
  make("EP2AGZ225FF35C3,EP2AGZ300FH29C4");
  // Raw: the device nearest TDO shifts its IDCODE out first.
  engine->gotoState(TapState::Reset);
  const std::vector<bool> raw = engine->scanDr(std::vector<bool>(64, false));
  uint32_t first = 0, second = 0;
  for (int b = 0; b < 32; ++b) {
    first |= static_cast<uint32_t>(raw[static_cast<size_t>(b)]) << b;
    second |= static_cast<uint32_t>(raw[static_cast<size_t>(32 + b)]) << b;
  }
  EXPECT_EQ(first, 0x0240A0DDu);
  EXPECT_EQ(second, 0x024810DDu);
  EXPECT_EQ(engine->readIdcodes(), (std::vector<uint32_t>{0x024810DDu, 0x0240A0DDu}));
}

TEST_F(ChainFixture, IdcodeScanShowsBypassOnlyDevicesAsZero) {
  make("bypass,EP2AGZ350FF35C3,bypass:5");
  EXPECT_EQ(engine->readIdcodes(), (std::vector<uint32_t>{0, 0x024820DDu, 0}));
  EXPECT_EQ(engine->measureIrChainLength(), 4u + 10u + 5u);
}

TEST_F(ChainFixture, InstructionCaptureAndBypass) {
  make("EP2AGZ225FF35C3,bypass");
  // Capture-IR: 0101010101 for the FPGA (nearest TDI, so it comes out last), 01 + zeros for the bypass.
  const std::vector<bool> captured = engine->scanIr(std::vector<bool>(14, true));
  const std::vector<bool> expected = {true, false, false, false,  // bypass device: 0001 read LSB first
                                      true, false, true, false, true, false, true, false, true, false};
  EXPECT_EQ(captured, expected);
  // Both devices now hold all ones: BYPASS, one bit each capturing 0, so a pattern comes out two
  // clocks late behind two zeros.
  const std::vector<bool> in = {true, true, false, true, false, false, true};
  const std::vector<bool> out = engine->scanDr(in);
  const std::vector<bool> delayed = {false, false, true, true, false, true, false};
  EXPECT_EQ(out, delayed);
  EXPECT_EQ(cable->chain().deviceAs<Arria2GZDevice>(0)->instruction(), Arria2GZDevice::kBypass);
}

TEST_F(ChainFixture, UnknownInstructionsSelectBypass) {
  make("EP2AGZ225FF35C3");
  for (uint32_t code : std::initializer_list<uint32_t>{0x3FFu, 0x0B0u, Arria2GZDevice::kHighz, Arria2GZDevice::kClamp, Arria2GZDevice::kStartup,
                        Arria2GZDevice::kActiveDisengage}) {
    SCOPED_TRACE(code);
    engine->loadInstruction(code, 0);
    const std::vector<bool> out = engine->scanDr({true, false, true, true});
    EXPECT_EQ(out, (std::vector<bool>{false, true, false, true}));
  }
}

TEST_F(ChainFixture, ScanDataReachesEachDeviceThroughTheOthersBypass) {
  make("EP2AGZ225FF35C3,bypass,EP2AGZ350HF40C3");
  // IDCODE of each device by index, the other devices bypassed.
  engine->loadInstruction(Arria2GZDevice::kIdcode, 2);
  EXPECT_EQ(engine->scanData(0, 32, 2), 0x024820DDu);
  engine->loadInstruction(Arria2GZDevice::kIdcode, 0);
  EXPECT_EQ(engine->scanData(0, 32, 0), 0x024810DDu);
  // Unconfigured user codes read all ones.
  engine->loadInstruction(Arria2GZDevice::kUsercode, 2);
  EXPECT_EQ(engine->scanData(0, 32, 2), 0xFFFFFFFFu);
  EXPECT_THROW(engine->loadInstruction(7, 3), SimError);
}

TEST_F(ChainFixture, TdoChangesOnTheFallingEdge) {
  make("EP2AGZ225FF35C3");
  engine->gotoState(TapState::DrShift);  // IDCODE captured: bit 0 = 1, bit 1 = 0
  ASSERT_TRUE(cable->readTdo());
  cable->write(false, false, false);
  cable->write(true, false, false);  // shifts bit 0 out
  EXPECT_TRUE(cable->readTdo()) << "TDO must hold until TCK falls";
  cable->write(false, false, false);
  EXPECT_FALSE(cable->readTdo());
}

}  // namespace
}  // namespace zsim

namespace zsim {
namespace {

// Long Shift-DR runs are shifted through the devices in blocks. A chain whose TDO is looked at after
// every pin write shifts bit by bit instead; both must behave the same.
TEST(ChainBlocks, BlockShiftingMatchesBitByBitShifting) {
  auto eager = buildChain("EP2AGZ225FF35C3,bypass:3,EP2AGZ300FF35C3");
  auto lazy = buildChain("EP2AGZ225FF35C3,bypass:3,EP2AGZ300FF35C3");
  std::mt19937 rng(1234);
  size_t compared = 0;
  for (int i = 0; i < 400000; ++i) {
    // TMS is mostly low so that long shifts happen; every instruction gets loaded now and then.
    const bool tck = i & 1;
    const bool tms = rng() % 29 == 0;
    const bool tdi = rng() & 1;
    eager->setPins(tck, tms, tdi);
    const bool eagerTdo = eager->tdo();
    lazy->setPins(tck, tms, tdi);
    if (rng() % 97 == 0) {
      ASSERT_EQ(lazy->tdo(), eagerTdo) << "write " << i;
      ++compared;
    }
    ASSERT_EQ(lazy->state(), eager->state());
  }
  EXPECT_GT(compared, 1000u);
  for (size_t d = 0; d < eager->size(); ++d) EXPECT_EQ(lazy->device(d).status(), eager->device(d).status());
  EXPECT_EQ(lazy->deviceAs<Arria2GZDevice>(0)->instruction(), eager->deviceAs<Arria2GZDevice>(0)->instruction());
  EXPECT_EQ(lazy->risingEdges(), eager->risingEdges());
}

}  // namespace
}  // namespace zsim
