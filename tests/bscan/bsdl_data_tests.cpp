// The BSDL files of the host's library read back into complete entities, and the fuzzer's saved inputs
// replayed through the reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "zolta/bscan/bsdl_reader.h"

using namespace zolta;
namespace fs = std::filesystem;
namespace id = zolta::bsdl_dispid;

namespace {

struct DataFile {
  const char* file;
  uint32_t idCode;
  int groups;         // N
  int confDoneGroup;  // K
  size_t balls;
  size_t bondedIO;  // inout pins plus clock inputs
};

const DataFile kFiles[] = {
    {"EP2AGZ225FF35", 0x024810DD, 758, 186, 1152, 554}, {"EP2AGZ225HF40", 0x024810DD, 758, 186, 1517, 734},
    {"EP2AGZ300FF35", 0x0240A0DD, 894, 190, 1152, 554}, {"EP2AGZ300FH29", 0x0240A0DD, 894, 190, 780, 281},
    {"EP2AGZ300HF40", 0x0240A0DD, 894, 190, 1517, 734}, {"EP2AGZ350FF35", 0x024820DD, 894, 190, 1152, 554},
    {"EP2AGZ350FH29", 0x024820DD, 894, 190, 780, 281},  {"EP2AGZ350HF40", 0x024820DD, 894, 190, 1517, 734},
};

std::string dataPath(const std::string& name) { return std::string(ZOLTA_SOURCE_DIR) + "/data/bsdl/" + name + ".bsd"; }

}  // namespace

TEST(BSDLData, EveryPackageFileReadsIntoACompleteEntity) {
  for (const DataFile& f : kFiles) {
    SCOPED_TRACE(f.file);
    auto e = ReadBSDLFile(dataPath(f.file));
    EXPECT_EQ(e->Name, f.file);
    EXPECT_EQ(e->IdCode, f.idCode);
    EXPECT_EQ(e->InstructionLength, 10);
    EXPECT_EQ(e->BoundaryLength, 3 * f.groups);
    ASSERT_EQ(e->BoundaryCells().size(), size_t(3 * f.groups));
    EXPECT_EQ(e->Pins().size(), f.balls);
    EXPECT_EQ(e->PinMappings().size(), f.balls);
    EXPECT_EQ(e->Instruction_IDCODE, 0x006u);
    EXPECT_EQ(e->Instruction_USERCODE, 0x007u);
    EXPECT_EQ(e->Instruction_SAMPLE, 0x005u);
    EXPECT_EQ(e->Instruction_EXTEST, 0x00Fu);
    EXPECT_EQ(e->Instruction_BYPASS, 0x3FFu);
    EXPECT_EQ(e->ScanClockMaxSpeed, 10e6);
    EXPECT_EQ(e->ScanClockHaltMode, eScanClockHaltMode_Both);
    ASSERT_NE(e->TAP_TDI, nullptr);
    ASSERT_NE(e->TAP_TRST, nullptr);
    EXPECT_EQ(e->TAP_TDO->PinName, "TDO");
    ASSERT_NE(e->FindRegisterAssociation("BOUNDARY"), nullptr);
    EXPECT_EQ(e->FindRegisterAssociation("BOUNDARY")->RegisterLength, 3 * f.groups);

    // Cells are listed by number; CONF_DONE's status cell is the bit the CHECK_STATUS probe reads.
    for (int i = 0; i < 3 * f.groups; ++i) ASSERT_EQ(e->BoundaryCells()[size_t(i)]->CellNumber, i);
    const TBoundaryCell* confDone = e->BoundaryCells()[size_t(3 * (f.groups - f.confDoneGroup) + 1)].get();
    EXPECT_EQ(confDone->CellFunction, eCellFunction_Internal);
    EXPECT_EQ(confDone->PortId, "*");
    EXPECT_EQ(e->FindPinByName("CONF_DONE")->BoundaryCells.size(), 0u);
    EXPECT_NE(e->DesignWarning.find("Internal cell " + std::to_string(confDone->CellNumber) + " shows CONF_DONE"),
              std::string::npos);

    // Every I/O pin has its input and its tri-state output cell, the output governed by the group's
    // control cell.
    size_t io = 0;
    for (const auto& pin : e->Pins()) {
      if (pin->BoundaryCells.empty()) continue;
      ++io;
      if (pin->Direction != eElectricIO) continue;
      ASSERT_EQ(pin->BoundaryCells.size(), 2u) << pin->PinName;
      const TBoundaryCell* out = pin->BoundaryCells[1];
      EXPECT_EQ(out->CellFunction, eCellFunction_Output3);
      ASSERT_NE(out->ControlCell, nullptr);
      EXPECT_EQ(out->ControlCell->CellNumber, out->CellNumber + 1);
      EXPECT_EQ(out->ControlCell->TargetCell, out);
      EXPECT_EQ(out->DisableValue, eBit_0);
      EXPECT_EQ(pin->BoundaryCells[0]->CellNumber, out->CellNumber - 1);
      EXPECT_EQ(pin->BoundaryCells[0]->CellNumber % 3, 0);
    }
    EXPECT_EQ(io, f.bondedIO);
  }
}

TEST(BSDLData, TheLargestFileIsReachableThroughDispatch) {
  auto e = ReadBSDLFile(dataPath("EP2AGZ350HF40"));
  zabi::IDispatch* d = e->dispatch();
  EXPECT_EQ(zabi::invoke(d, id::Entity_GetPinCount).toInt32(), 1517);
  EXPECT_EQ(zabi::invoke(d, id::Entity_GetBoundaryCellCount).toInt32(), 2682);
  EXPECT_EQ(zabi::invoke(d, id::Entity_GetIdCode).toUInt32(), 0x024820DDu);
  DispPtr tdo = zabi::invoke(d, id::Entity_GetPin_TDO).toDispatch();
  EXPECT_EQ(zabi::invoke(tdo, id::ScanPin_GetKind).toInt32(), eScanPinKind_TDO);
  // Cell 1 is the output cell of the first I/O group: its pin lists it, its control cell points back.
  DispPtr cell = zabi::invoke(d, id::Entity_GetBoundaryCell, 1).toDispatch();
  DispPtr pin = zabi::invoke(cell, id::Cell_GetPin).toDispatch();
  ASSERT_TRUE(pin);
  EXPECT_EQ(zabi::invoke(pin, id::ScanPin_GetBoundaryCellCount).toInt32(), 2);
  EXPECT_EQ(zabi::invoke(pin, id::ScanPin_GetBoundaryCell, 1).toDispatch(), cell);
  DispPtr control = zabi::invoke(cell, id::Cell_GetControlCell).toDispatch();
  EXPECT_EQ(zabi::invoke(control, id::Cell_GetTargetCell).toDispatch(), cell);
  EXPECT_EQ(zabi::invoke(cell, id::GetDescription).toString().substr(0, 5), "1   (");
}

// Inputs that once crashed or misled the reader (and the fuzzer's seeds) must give an entity or a
// BSDLReadError, nothing else. Under the sanitizer build this also catches leaks.
TEST(BSDLData, FuzzCorpusReplaysWithoutFailure) {
  fs::path dir = fs::path(ZOLTA_SOURCE_DIR) / "fuzz" / "corpus" / "bsdl";
  ASSERT_TRUE(fs::is_directory(dir));
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  EXPECT_FALSE(files.empty());
  for (const fs::path& p : files) {
    SCOPED_TRACE(p.filename().string());
    std::ifstream in(p, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    try {
      auto e = ReadBSDLText(text.str(), p.filename().string());
      EXPECT_FALSE(e->Name.empty());
    } catch (const BSDLReadError& err) {
      EXPECT_EQ(err.file(), p.filename().string());
      EXPECT_FALSE(err.message().empty());
    }
  }
}
