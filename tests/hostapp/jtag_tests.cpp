// The host's JTAG side on simulated cables: chain scan and driver binding, the channel's dispatch and
// pin-level operations, cable failures, and boundary-scan sampling into BSDL entities.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "test_support.h"
#include "zolta/bscan/bsdl_reader.h"
#include "zolta/host_ids.h"
#include "zolta/hostapp/host.h"
#include "zolta/hostapp/ids.h"
#include "zolta/sim/arria2gz_device.h"
#include "zolta/sim/chain.h"
#include "zolta/sim/error.h"
#include "zolta/sim/rbf.h"

namespace zolta::hostapp::test {
namespace {

namespace h = zabi::host;
namespace b = zolta::bsdl_dispid;
using zabi::Var;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string sourceFile(const std::string& relative) {
  const char* dir = std::getenv("ZOLTA_SOURCE_DIR");
  return std::string(dir ? dir : ".") + "/" + relative;
}

// A cable in front of another that gives out after a number of pin writes, like an unplugged adapter.
class BreakingCable final : public zsim::Cable {
 public:
  explicit BreakingCable(std::unique_ptr<zsim::Cable> inner) : inner_(std::move(inner)) {}
  uint64_t writesLeft = UINT64_MAX;

  std::string description() const override { return "breaking " + inner_->description(); }
  void write(bool tck, bool tms, bool tdi) override {
    use(1);
    inner_->write(tck, tms, tdi);
  }
  bool readTdo() override {
    use(0);
    return inner_->readTdo();
  }
  void writePins(const uint8_t* levels, size_t count) override {
    use(count);
    inner_->writePins(levels, count);
  }
  void shift(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count) override {
    use(2 * count);
    inner_->shift(tms, tdi, tdo, count);
  }

 private:
  void use(uint64_t writes) {
    if (writes > writesLeft || (writes == 0 && writesLeft == 0)) {
      writesLeft = 0;
      throw zsim::CableError("test adapter: unplugged");
    }
    writesLeft -= writes;
  }
  std::unique_ptr<zsim::Cable> inner_;
};

// Nothing on the other end: TDO floats high.
class EmptyCable final : public zsim::Cable {
 public:
  std::string description() const override { return "empty cable"; }
  void write(bool, bool, bool) override {}
  bool readTdo() override { return true; }
};

// A host whose test plug-in serves TESTDEV0..2; its JTAG ID map names the EP2AGZ225 die TESTDEV0 (and
// EP2AGZ225F, which finds its BSDL file), the EP2AGZ300 die TESTDEV1, and leaves EP2AGZ350 out.
class JtagHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugins = root.mkdir("plugins");
    root.copy(ZOLTA_TEST_PLUGIN, "plugins/TestDev/TestDev.ZLT");
    root.write("System/JTagIdMap.txt",
               "# test map\n"
               "0x024810DD 0x0FFFFFFF TESTDEV0 EP2AGZ225F\n"
               "0x0240A0DD 0x0FFFFFFF TESTDEV1\n");
    root.copy(sourceFile("data/bsdl/EP2AGZ225FF35.bsd"), "Library/BSDL/Altera/Arria2GZ/EP2AGZ225FF35.bsd");
    host = std::make_unique<Host>(testOptions(root, plugins));
    host->loadPlugins();
  }
  JtagChain& open(const std::string& spec) {
    chain = zsim::buildChain(spec);
    return host->openJtagChain(std::make_unique<zsim::SimCable>(chain));
  }
  TempFolder root;
  std::string plugins;
  std::unique_ptr<Host> host;
  std::shared_ptr<zsim::Chain> chain;
};

// ---- chain scan ----------------------------------------------------------------------------------

TEST_F(JtagHostTest, ChainScanBindsAHostDeviceToADriverOfItsOwnAndSolvesTheInstructionLengths) {
  JtagChain& c = open("EP2AGZ225FF35C3,bypass:5");
  ASSERT_EQ(c.devices().size(), 2u);
  const JtagChainDevice& fpga = c.devices()[0];
  EXPECT_EQ(fpga.idcode(), 0x024810DDu);
  EXPECT_EQ(fpga.deviceName, "TESTDEV0");
  EXPECT_EQ(fpga.pluginName, "TestDev");
  EXPECT_EQ(fpga.jtag->facts().irLength, 10);  // the driver does not say; the BSDL file does
  EXPECT_EQ(std::filesystem::path(fpga.jtag->bsdlFile()).filename(), "EP2AGZ225FF35.bsd");
  ASSERT_TRUE(fpga.host);
  // The driver is a new one, bound to the host device, whose channel and index are the chain's.
  EXPECT_NE(fpga.host->GetDriver(), host->drivers().entries()[0].driver);
  EXPECT_EQ(zabi::invoke(fpga.host->GetDriver(), 503753).toDispatch(), fpga.host->dispatchPtr());
  EXPECT_EQ(zabi::invoke(fpga.host->dispatchPtr(), h::ZoltaDevice_GetJTagChannel).toDispatch(), DispPtr(c.channel()));
  EXPECT_EQ(zabi::invoke(fpga.host->dispatchPtr(), h::ZoltaDevice_GetJTagIndex).toInt32(), 0);

  const JtagChainDevice& bypass = c.devices()[1];
  EXPECT_EQ(bypass.idcode(), 0u);
  EXPECT_EQ(bypass.jtag->facts().irLength, 5);  // what the measured total leaves
  EXPECT_FALSE(bypass.host);
  EXPECT_TRUE(contains(bypass.problem, "no IDCODE")) << bypass.problem;
  EXPECT_EQ(&c.served(std::nullopt), &fpga);
}

TEST_F(JtagHostTest, TwoEqualDevicesGetTwoDrivers) {
  JtagChain& c = open("EP2AGZ225FF35C3,EP2AGZ225FF35I4");
  ASSERT_TRUE(c.devices()[0].host && c.devices()[1].host);
  EXPECT_NE(c.devices()[0].host->GetDriver(), c.devices()[1].host->GetDriver());
  EXPECT_EQ(zabi::invoke(c.devices()[1].host->dispatchPtr(), h::ZoltaDevice_GetJTagIndex).toInt32(), 1);
}

TEST_F(JtagHostTest, DevicesWithoutADriverAndBadChainsAreNamed) {
  JtagChain& c = open("EP2AGZ350FF35C3");
  const JtagChainDevice& d = c.devices()[0];
  EXPECT_FALSE(d.host);
  EXPECT_TRUE(contains(d.problem, "IDCODE 0x024820DD is not in the JTAG ID map")) << d.problem;
  EXPECT_TRUE(contains(d.problem, "JTagIdMap.txt")) << d.problem;
  try {
    c.served(0);
    FAIL() << "a device without a driver was served";
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(contains(e.what(), "device 0 on simulated chain EP2AGZ350FF35C3 has no driver: IDCODE 0x024820DD"))
        << e.what();
  }
  try {
    c.at(3);
    FAIL() << "index 3 was found";
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(contains(e.what(), "device index 3 is beyond the chain")) << e.what();
    EXPECT_TRUE(contains(e.what(), "has 1 device")) << e.what();
  }

  struct Case {
    const char* chain;
    const char* message;
  } cases[] = {
      {"bypass,bypass", "cannot tell the instruction-register lengths of 2 devices"},
      {"EP2AGZ300FF35C3,bypass", "cannot tell the instruction-register lengths of 2 devices"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.chain);
    try {
      open(k.chain);
      FAIL() << "the chain opened";
    } catch (const std::runtime_error& e) {
      EXPECT_TRUE(contains(e.what(), k.message)) << e.what();
      EXPECT_TRUE(contains(e.what(), "total")) << e.what();
    }
  }
  try {
    host->openJtagChain(std::make_unique<EmptyCable>());
    FAIL() << "an empty chain opened";
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(contains(e.what(), "no JTAG device answers on empty cable")) << e.what();
  }
}

TEST_F(JtagHostTest, AMissingIdMapIsNamed) {
  std::filesystem::remove(root.path() + "/System/JTagIdMap.txt");
  Host other(testOptions(root, plugins));
  try {
    other.openJtagChain(zolta::hostapp::openCable("sim"));
    FAIL() << "the chain opened without an ID map";
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(contains(e.what(), root.path() + "/System/JTagIdMap.txt is missing")) << e.what();
  }
}

TEST(JtagCableText, NamesWhatItCannotOpen) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"usb", "unknown cable 'usb'"},
      {"rbb://127.0.0.1", "expected rbb://HOST:PORT"},
      {"rbb://127.0.0.1:0", "expected rbb://HOST:PORT"},
      {"rbb://:3335", "expected rbb://HOST:PORT"},
      {"sim:EP2AGZ999", "EP2AGZ999"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    try {
      openCable(k.text);
      FAIL() << "opened";
    } catch (const zsim::SimError& e) {
      EXPECT_TRUE(contains(e.what(), k.message)) << e.what();
    }
  }
  EXPECT_EQ(openCable("")->description(), "simulated chain EP2AGZ225FF35C3,EP2AGZ300FF35C3");
}

TEST(BsdlLibraryLookup, LongestPrefixWinsAndTheDriversFolderComesFirst) {
  TempFolder root;
  for (const char* f : {"BSDL/Altera/Arria2GZ/EP2AGZ225FF35.bsd", "BSDL/Altera/Arria2GZ/EP2AGZ225F.BSD",
                        "BSDL/Other/Fam/EP2AGZ225FF35.bsd", "BSDL/Altera/Arria2GZ/EP2AGZ300FH29.bsd",
                        "BSDL/Altera/Arria2GZ/EP2AGZ300FF35.bsd", "BSDL/Altera/Arria2GZ/notes.txt"})
    root.write(f, "-- test\n");
  BsdlLibrary library(root.path() + "/BSDL");
  EXPECT_EQ(library.files().size(), 5u);
  auto found = [&](const std::string& vendor, const std::string& family, std::vector<std::string> names) {
    const std::string path = library.find(vendor, family, names);
    return path.empty() ? path : path.substr(root.path().size() + 1);
  };
  EXPECT_EQ(found("Altera", "Arria2GZ", {"EP2AGZ225FF35C3"}), "BSDL/Altera/Arria2GZ/EP2AGZ225FF35.bsd");
  EXPECT_EQ(found("other", "FAM", {"ep2agz225ff35c3"}), "BSDL/Other/Fam/EP2AGZ225FF35.bsd");
  EXPECT_EQ(found("Altera", "Arria2GZ", {"EP2AGZ225HF40C3", "EP2AGZ225F"}), "BSDL/Altera/Arria2GZ/EP2AGZ225F.BSD");
  // A name shorter than every file: the first file that starts with it.
  EXPECT_EQ(found("", "", {"TESTDEV1", "EP2AGZ300F"}), "BSDL/Altera/Arria2GZ/EP2AGZ300FF35.bsd");
  EXPECT_EQ(found("Altera", "Arria2GZ", {"EP2AGZ350FF35C3"}), "");
}

// ---- channel -------------------------------------------------------------------------------------

TEST_F(JtagHostTest, ChannelDispatchOperationsAddressEachDeviceOfTheChain) {
  JtagChain& c = open("EP2AGZ225FF35C3,EP2AGZ300FF35C3");
  DispPtr ch = c.channel();
  EXPECT_EQ(zabi::invoke(ch, h::JTagChannel_GetChainLength).toInt32(), 2);
  for (int32_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    zabi::invoke(ch, h::JTagChannel_GotoTapState, 2);
    zabi::invoke(ch, h::JTagChannel_LoadInstruction, 6, i);  // IDCODE
    EXPECT_EQ(uint32_t(zabi::invoke(ch, h::JTagChannel_ScanData, 0, 32, i).toInt32()), c.devices()[size_t(i)].idcode());
  }
  EXPECT_EQ(zabi::invoke(ch, h::JTagChannel_GetJTagDevice, 1).toDispatch(), DispPtr(c.devices()[1].jtag));
  EXPECT_FALSE(zabi::invoke(ch, h::JTagChannel_GetJTagDevice, 2).toDispatch());
  EXPECT_TRUE(zabi::invoke(ch, h::JTagChannel_GetPort).toDispatch());

  EXPECT_TRUE(zabi::invoke(ch, h::JTagChannel_Lock).toBool());
  EXPECT_FALSE(zabi::invoke(ch, h::JTagChannel_Lock).toBool());  // already held
  zabi::invoke(ch, h::JTagChannel_Unlock);
  zabi::invoke(ch, h::JTagChannel_Unlock);
  EXPECT_EQ(c.channel()->lockDepth(), 0);

  struct Case {
    std::function<void()> call;
    const char* message;
  } cases[] = {
      {[&] { zabi::invoke(ch, h::JTagChannel_Unlock); }, "unlocked without a lock"},
      {[&] { zabi::invoke(ch, h::JTagChannel_ScanData, 0, 33, 0); }, "33 bits"},
      {[&] { zabi::invoke(ch, h::JTagChannel_LoadInstruction, 6, 2); }, "device index 2 is outside the chain of 2"},
      {[&] { zabi::invoke(ch, h::JTagChannel_ScanData, 0, 8, -1); }, "device index -1"},
      {[&] { zabi::invoke(ch, h::JTagChannel_GotoTapState, 17); }, "17 is not a TAP state"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.message);
    try {
      k.call();
      FAIL() << "accepted";
    } catch (const zabi::DispatchError& e) {
      EXPECT_TRUE(contains(e.what(), k.message)) << e.what();
    }
  }
}

TEST_F(JtagHostTest, PinLevelInterfaceSharesTheLevelsAndReadsInOrder) {
  JtagChain& c = open("EP2AGZ225FF35C3,EP2AGZ300FF35C3");
  DispPtr ch = c.channel();
  auto pins = zabi::queryInterface<zabi::IJTagPinAccess>(ch.get(), zabi::IID_IJTagPinAccess);
  ASSERT_TRUE(pins);
  zabi::invoke(ch, h::JTagChannel_GotoTapState, 2);
  zabi::invoke(ch, h::JTagChannel_LoadInstruction, 6, 0);
  zabi::invoke(ch, h::JTagChannel_MoveTapState, 2, 5);
  int16_t level = 0;
  ASSERT_EQ(pins->GetTCK(&level), zabi::kOk);
  EXPECT_EQ(level, zabi::kVariantTrue);  // the walk left TCK high

  // Device 1's BYPASS bit leaves first, then device 0's IDCODE, least significant bit first.
  std::vector<bool> bits;
  for (int i = 0; i < 33; ++i) {
    ASSERT_EQ(pins->SetTCK(0), zabi::kOk);
    ASSERT_EQ(pins->WritePins(), zabi::kOk);
    ASSERT_EQ(pins->ReadPins(), zabi::kOk);
    ASSERT_EQ(pins->GetTDO(&level), zabi::kOk);
    bits.push_back(level != 0);
    ASSERT_EQ(pins->SetTCK(1), zabi::kOk);
    ASSERT_EQ(pins->WritePins(), zabi::kOk);
  }
  EXPECT_FALSE(bits[0]);
  uint32_t id = 0;
  for (int i = 0; i < 32; ++i) id |= uint32_t(bits[size_t(i) + 1]) << i;
  EXPECT_EQ(id, 0x024810DDu);
  // Back to dispatch: the channel goes on from where the pins left the TAP.
  zabi::invoke(ch, h::JTagChannel_ClockTms, 1);
  zabi::invoke(ch, h::JTagChannel_MoveTapState, 6, 2);
  zabi::invoke(ch, h::JTagChannel_LoadInstruction, 6, 1);
  EXPECT_EQ(uint32_t(zabi::invoke(ch, h::JTagChannel_ScanData, 0, 32, 1).toInt32()), 0x0240A0DDu);
}

TEST_F(JtagHostTest, ACableFailureBreaksTheChannelButLeavesItUnlockable) {
  auto cable = std::make_unique<BreakingCable>(std::make_unique<zsim::SimCable>(zsim::buildChain("EP2AGZ225FF35C3")));
  BreakingCable* raw = cable.get();
  JtagChain& c = host->openJtagChain(std::move(cable));
  DispPtr ch = c.channel();
  auto pins = zabi::queryInterface<zabi::IJTagPinAccess>(ch.get(), zabi::IID_IJTagPinAccess);

  raw->writesLeft = 1000;
  zabi::invoke(ch, h::JTagChannel_Lock);
  zabi::HResult status = zabi::kOk;
  for (int i = 0; i < (1 << 18) && status == zabi::kOk; ++i) {
    pins->SetTCK(i & 1);
    status = pins->WritePins();
  }
  EXPECT_EQ(status, TJTagChannel::kCableFailed);  // queued writes reach the cable in blocks, then fail
  EXPECT_TRUE(contains(c.channel()->failure(), "test adapter: unplugged")) << c.channel()->failure();
  EXPECT_EQ(pins->ReadPins(), TJTagChannel::kCableFailed);
  zabi::invoke(ch, h::JTagChannel_Unlock);
  EXPECT_EQ(c.channel()->lockDepth(), 0);
  try {
    zabi::invoke(ch, h::JTagChannel_GotoTapState, 2);
    FAIL() << "a broken channel walked the TAP";
  } catch (const zabi::DispatchError& e) {
    EXPECT_TRUE(contains(e.what(), "the JTAG cable failed: test adapter: unplugged"))
        << e.what();
  }
}

// ---- boundary-scan sampling ------------------------------------------------------------------------

// Configures the device at index 0 through the channel, as the plug-in's routine would.
void configure(TJTagChannel& ch, const std::string& name, uint32_t userCode) {
  const std::vector<uint8_t> file = zsim::makeRbf(name, userCode, std::vector<uint8_t>(256, 0xA5));
  std::vector<bool> bits;
  for (uint8_t byte : file)
    for (int k = 0; k < 8; ++k) bits.push_back((byte >> k) & 1);
  bits.insert(bits.end(), 64, true);
  ch.LoadInstruction(2, 0);
  ch.scanDataBits(bits, 0);
  ch.LoadInstruction(3, 0);
  ch.withEngine([](zsim::ScanEngine& e) { e.idleClocks(400); });
}

TEST_F(JtagHostTest, SamplingWritesEveryCellAndPinIntoTheEntity) {
  JtagChain& c = open("EP2AGZ225FF35C3");
  TJTagDevice& jtag = *c.devices()[0].jtag;
  DispPtr entity = zabi::invoke(jtag.dispatchPtr(), h::JTagDevice_GetBSDLEntity).toDispatch();
  ASSERT_TRUE(entity) << jtag.bsdlProblem();
  TBSDLEntity& model = *jtag.entity();

  // Unconfigured, every pin floats high: every input cell and every pin it serves reads 1.
  EXPECT_TRUE(zabi::invoke(jtag.dispatchPtr(), ids::JTagDevice_SampleBoundaryScan, entity).toBool());
  size_t inputs = 0;
  for (const auto& cell : model.BoundaryCells())
    if (cell->CellFunction == eCellFunction_Input || cell->CellFunction == eCellFunction_BiDir) {
      ++inputs;
      EXPECT_EQ(cell->CurrentValue, 1) << "cell " << cell->CellNumber;
      if (cell->Pin) {
        EXPECT_EQ(cell->Pin->CurrentValue, 1) << cell->Pin->PinName;
      }
    }
  EXPECT_GT(inputs, 500u);

  // Configured, the design drives its outputs: successive samples differ, and each pin shows the level
  // its input cell captured.
  configure(*c.channel(), "EP2AGZ225FF35C3", 0x12345678);
  ASSERT_TRUE(chain->deviceAs<zsim::Arria2GZDevice>(0)->configured());
  auto pinValues = [&] {
    std::vector<int32_t> v;
    for (const auto& pin : model.Pins()) v.push_back(pin->CurrentValue);
    return v;
  };
  jtag.SampleBoundaryScan(entity);
  const std::vector<int32_t> first = pinValues();
  jtag.SampleBoundaryScan(entity);
  EXPECT_NE(pinValues(), first);
  for (const auto& cell : model.BoundaryCells())
    if (cell->Pin && cell->CellFunction == eCellFunction_Input) {
      EXPECT_EQ(cell->Pin->CurrentValue, cell->CurrentValue) << cell->Pin->PinName;
    }

  // An entity of the host's own reading but not its object (as a plug-in would hand one) is written too.
  std::unique_ptr<TBSDLEntity> other = ReadBSDLFile(jtag.bsdlFile());
  jtag.SampleBoundaryScan(other->Impl()->dispatchPtr());
  size_t high = 0;
  for (const auto& pin : other->Pins()) high += pin->CurrentValue == 1;
  EXPECT_GT(high, 0u);
}

TEST_F(JtagHostTest, SamplingRefusesAnotherDevicesEntityAndABusyChannel) {
  JtagChain& c = open("EP2AGZ225FF35C3");
  TJTagDevice& jtag = *c.devices()[0].jtag;
  std::unique_ptr<TBSDLEntity> wrong = ReadBSDLFile(sourceFile("data/bsdl/EP2AGZ300FF35.bsd"));
  try {
    jtag.SampleBoundaryScan(wrong->Impl()->dispatchPtr());
    FAIL() << "sampled into another device's entity";
  } catch (const zabi::DispatchError& e) {
    EXPECT_TRUE(contains(e.what(), "describes IDCODE 0x0240A0DD, the device answers 0x024810DD")) << e.what();
  }
  c.channel()->Lock();
  try {
    jtag.SampleBoundaryScan(jtag.GetBSDLEntity());
    FAIL() << "sampled while a routine held the channel";
  } catch (const zabi::DispatchError& e) {
    EXPECT_TRUE(contains(e.what(), "in use")) << e.what();
  }
  c.channel()->Unlock();
  EXPECT_TRUE(jtag.SampleBoundaryScan(jtag.GetBSDLEntity()));
}

TEST_F(JtagHostTest, AnUnreadableBsdlFileGivesNoEntityAndSaysWhy) {
  root.write("Library/BSDL/Altera/Arria2GZ/EP2AGZ225FF35.bsd", "entity broken is\n");
  Host other(testOptions(root, plugins));
  other.loadPlugins();
  JtagChain& c = other.openJtagChain(openCable("sim:EP2AGZ225FF35C3"));
  TJTagDevice& jtag = *c.devices()[0].jtag;
  EXPECT_FALSE(jtag.GetBSDLEntity());
  EXPECT_TRUE(contains(jtag.bsdlProblem(), "EP2AGZ225FF35.bsd")) << jtag.bsdlProblem();
}

}  // namespace
}  // namespace zolta::hostapp::test
