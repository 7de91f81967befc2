// The BSDL reader on small fixtures: the graph it builds, and precise errors for malformed text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "zolta/bscan/bsdl_reader.h"

using namespace zolta;

namespace {

// Line numbers matter: the error cases below refer to them.
const char* const kFixture = R"BSDL(-- A small device in two packages.
entity TINY is                                                          -- line 2
  generic (PHYSICAL_PIN_MAP : string := "PKG_B");
  port (
    IO1, IO2 : inout bit;                                               -- line 5
    CLK      : in bit;
    OC       : out bit;
    BUS      : inout bit_vector (3 downto 2);
    TCK, TMS, TDI, TRST : in bit;
    TDO      : out bit;                                                 -- line 10
    VCC      : linkage bit_vector (1 to 2);
    GND      : linkage bit;
    NC       : linkage bit
  );
  use STD_1149_1_1994.all;                                              -- line 15
  attribute MY_NOTE : string;
  attribute COMPONENT_CONFORMANCE of TINY : entity is "STD_1149_1_2001";
  attribute PIN_MAP of TINY : entity is PHYSICAL_PIN_MAP;
  constant PKG_A : PIN_MAP_STRING := "IO1:1, IO2:2";
  constant PKG_B : PIN_MAP_STRING :=                                    -- line 20
    "IO1:A1, IO2:A2, CLK:A3, OC:A4, " &
    "BUS:(B1, B2), TCK:C1, TMS:C2, TDI:C3, TRST:C4, " &  -- comment between pieces
    "TDO:C5, VCC:(D1,D2), GND:D3, NC:D4";
  attribute TAP_SCAN_IN of TDI : signal is true;
  attribute TAP_SCAN_OUT of TDO : signal is true;                       -- line 25
  attribute TAP_SCAN_MODE of TMS : signal is true;
  attribute TAP_SCAN_CLOCK of TCK : signal is (2.5e7, LOW);
  attribute TAP_SCAN_RESET of TRST : signal is true;
  attribute INSTRUCTION_LENGTH of TINY : entity is 4;
  attribute INSTRUCTION_OPCODE of TINY : entity is                      -- line 30
    "BYPASS (1111, 1110), EXTEST (0000), SAMPLE (0010), " &
    "IDCODE (0011), HIGHZ (0101), PRIV (1x00), SCAN_A (1000)";
  attribute INSTRUCTION_CAPTURE of TINY : entity is "XX01";
  attribute INSTRUCTION_PRIVATE of TINY : entity is "PRIV";
  attribute IDCODE_REGISTER of TINY : entity is                         -- line 35
    "0001" & "0000000000000101" & "00001101110" & "1";
  attribute USERCODE_REGISTER of TINY : entity is "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX";
  attribute REGISTER_ACCESS of TINY : entity is
    "SCANREG[7] (SCAN_A), BYPASS (HIGHZ, PRIV)";
  attribute VENDOR_THING of TINY : entity is "(anything; goes)";       -- line 40
  attribute BOUNDARY_LENGTH of TINY : entity is 9;
  attribute BOUNDARY_REGISTER of TINY : entity is
    "0 (BC_1, IO1, INPUT, X), " &
    "1 (BC_1, *, CONTROL, 0), " &
    "1 (BC_4, CLK, INPUT, X), " &                                       -- line 45
    "2 (BC_7, IO1, BIDIR, X, 1, 0, Z), " &
    "3 (BC_2, OC, OUTPUT2, 1, 3, 1, WEAK1), " &
    "3 (BC_2, *, CONTROLR, 1), " &
    "4 (BC_1, BUS(3), OUTPUT3, X, 1, 0, PULL0), " &
    "5 (bc_1, bus(2), output3, x, 1, 0, keeper), " &                    -- line 50
    "6 (BC_4, IO2, OBSERVE_ONLY, X), " &
    "7 (ZZ_9, *, INTERNAL, 0), " &
    "8 (BC_0, *, INTERNAL, 1)";
  attribute COMPLIANCE_PATTERNS of TINY : entity is "(TRST) (1)";
  attribute DESIGN_WARNING of TINY : entity is "Keep " & "TRST high.";  -- line 55
end TINY;
)BSDL";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at == std::string::npos) ADD_FAILURE() << "fixture lacks: " << from;
  else text.replace(at, from.size(), to);
  return text;
}

}  // namespace

TEST(BSDLReader, BuildsTheWholeCrossLinkedGraph) {
  auto e = ReadBSDLText(kFixture, "tiny.bsd");
  EXPECT_EQ(e->Name, "TINY");
  EXPECT_EQ(e->Filename, "tiny.bsd");
  EXPECT_EQ(e->InstructionLength, 4);
  EXPECT_EQ(e->IdCode, 0x100050DDu);
  EXPECT_EQ(e->BoundaryLength, 9);
  EXPECT_EQ(e->ScanClockMaxSpeed, 25e6);
  EXPECT_EQ(e->ScanClockHaltMode, eScanClockHaltMode_Low);
  EXPECT_EQ(e->ConformanceStatement, "STD_1149_1_2001");
  EXPECT_EQ(e->CompliancePattern, "(TRST) (1)");
  EXPECT_EQ(e->DesignWarning, "Keep TRST high.");

  // Pins in port order, vector bits in declared order, package PKG_B from the generic.
  ASSERT_EQ(e->Pins().size(), 15u);
  ASSERT_EQ(e->PinMappings().size(), 15u);
  const char* const names[] = {"IO1", "IO2", "CLK", "OC",  "BUS(3)", "BUS(2)", "TCK",  "TMS",
                               "TDI", "TRST", "TDO", "VCC(1)", "VCC(2)", "GND", "NC"};
  const char* const numbers[] = {"A1", "A2", "A3", "A4", "B1", "B2", "C1", "C2", "C3", "C4", "C5", "D1", "D2", "D3", "D4"};
  for (size_t i = 0; i < 15; ++i) {
    SCOPED_TRACE(names[i]);
    const TScanPin* p = e->Pins()[i].get();
    EXPECT_EQ(p->PinName, names[i]);
    EXPECT_EQ(p->PinNumber, numbers[i]);
    EXPECT_EQ(p->Entity(), e.get());
    ASSERT_NE(p->PinMapping, nullptr);
    EXPECT_EQ(p->PinMapping, e->PinMappings()[i].get());
    EXPECT_EQ(p->PinMapping->ScanPin, p);
    EXPECT_EQ(p->PinMapping->PinNumber, numbers[i]);
  }
  auto pin = [&](const char* n) { return e->FindPinByName(n); };
  EXPECT_EQ(pin("IO1")->Direction, eElectricIO);
  EXPECT_EQ(pin("CLK")->Direction, eElectricInput);
  EXPECT_EQ(pin("OC")->Direction, eElectricOutput);
  EXPECT_EQ(pin("NC")->Direction, eElectricPassive);
  EXPECT_EQ(pin("NC")->Kind, eScanPinKind_Normal);
  EXPECT_EQ(pin("VCC(2)")->Kind, eScanPinKind_Power);
  EXPECT_EQ(pin("VCC(2)")->Direction, eElectricPower);
  EXPECT_EQ(pin("GND")->Kind, eScanPinKind_Ground);
  EXPECT_EQ(e->TAP_TDI, pin("TDI"));
  EXPECT_EQ(e->TAP_TDO, pin("TDO"));
  EXPECT_EQ(e->TAP_TMS, pin("TMS"));
  EXPECT_EQ(e->TAP_TCK, pin("TCK"));
  EXPECT_EQ(e->TAP_TRST, pin("TRST"));
  EXPECT_EQ(pin("TDO")->Kind, eScanPinKind_TDO);
  EXPECT_EQ(pin("TRST")->Kind, eScanPinKind_TRST);

  // Cells in text order, linked to pins and control cells.
  const auto& cells = e->BoundaryCells();
  ASSERT_EQ(cells.size(), 11u);
  const TBoundaryCell* bidir = cells[3].get();
  EXPECT_EQ(bidir->CellNumber, 2);
  EXPECT_EQ(bidir->CellKind, eCellKind_BC_7);
  EXPECT_EQ(bidir->CellFunction, eCellFunction_BiDir);
  EXPECT_EQ(bidir->Pin, pin("IO1"));
  EXPECT_EQ(bidir->ControlCell, cells[1].get());
  EXPECT_EQ(bidir->DisableValue, eBit_0);
  EXPECT_EQ(bidir->DisableResult, eDisableResult_HiZ);
  EXPECT_EQ(cells[1]->TargetCell, bidir);  // the first cell it controls
  EXPECT_EQ(cells[2]->CellFunction, eCellFunction_Input);  // merged with control cell 1
  EXPECT_EQ(cells[2]->Pin, pin("CLK"));
  EXPECT_EQ(cells[2]->ControlCell, nullptr);
  const TBoundaryCell* oc = cells[4].get();
  EXPECT_EQ(oc->ControlCell, cells[5].get());  // the CONTROLR entry of number 3
  EXPECT_EQ(oc->DisableResult, eDisableResult_Weak1);
  EXPECT_EQ(cells[6]->PortId, "BUS(3)");
  EXPECT_EQ(cells[7]->PortId, "BUS(2)");  // the declared spelling
  EXPECT_EQ(cells[7]->Pin, pin("BUS(2)"));
  EXPECT_EQ(cells[7]->DisableResult, eDisableResult_Keeper);
  EXPECT_EQ(cells[8]->CellFunction, eCellFunction_ObserveOnly);
  EXPECT_EQ(cells[9]->CellKind, eCellKind_Undefined);  // a cell type of another package
  EXPECT_EQ(cells[9]->SafeBit, eBit_0);
  EXPECT_EQ(cells[9]->Pin, nullptr);
  EXPECT_EQ(cells[10]->CellKind, eCellKind_BC_0);
  ASSERT_EQ(pin("IO1")->BoundaryCells.size(), 2u);
  EXPECT_EQ(pin("IO1")->BoundaryCells[1], bidir);
  for (const auto& c : cells) {
    if (!c->Pin) continue;
    const auto& listed = c->Pin->BoundaryCells;
    EXPECT_NE(std::find(listed.begin(), listed.end(), c.get()), listed.end()) << c->CellNumber;
  }

  // Instructions and the standard codes.
  ASSERT_EQ(e->InstructionOpCodes().size(), 7u);
  EXPECT_EQ(e->InstructionOpCodes()[0]->OpCodePattern, "1111,1110");
  EXPECT_EQ(e->InstructionOpCodes()[5]->OpCodePattern, "1X00");
  EXPECT_EQ(e->Instruction_BYPASS, 0xFu);
  EXPECT_EQ(e->Instruction_EXTEST, 0u);
  EXPECT_EQ(e->Instruction_SAMPLE, 2u);
  EXPECT_EQ(e->Instruction_IDCODE, 3u);
  EXPECT_EQ(e->Instruction_HIGHZ, 5u);
  EXPECT_EQ(e->Instruction_USERCODE, kInstructionUndefined);
  EXPECT_EQ(e->Instruction_CLAMP, kInstructionUndefined);

  // Registers: as listed, then the standard ones for the remaining standard instructions.
  std::vector<std::string> regs;
  for (const auto& r : e->RegisterAssociations()) regs.push_back(r->GetState_Description());
  EXPECT_EQ(regs, (std::vector<std::string>{"SCANREG   [7] (SCAN_A(1000))", "BYPASS    [1] (HIGHZ(0101),PRIV(1X00),BYPASS(1111,1110))",
                                            "BOUNDARY  [9] (EXTEST(0000),SAMPLE(0010))",
                                            "DEVICE_ID [32] (IDCODE(0011))"}));
  EXPECT_EQ(e->FindRegisterAssociation("bypass")->InstructionOpCodes[0].OpCode, e->FindInstructionOpCode("HIGHZ"));

  // Every attribute statement is kept as text, unknown ones included.
  const TVHDLAttribute* note = e->FindAttribute("vendor_thing");
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->Value, "(anything; goes)");
  EXPECT_EQ(note->Line, 40);
  EXPECT_EQ(e->FindAttribute("TAP_SCAN_CLOCK")->Value, "(2.5e7, LOW)");
  EXPECT_EQ(e->FindAttribute("MY_NOTE"), nullptr);  // a declaration, not a statement about the entity
}

TEST(BSDLReader, SinglePackageNeedsNoGenericAndConformanceFallsBackToTheUseClause) {
  std::string text = replaced(kFixture, "  generic (PHYSICAL_PIN_MAP : string := \"PKG_B\");\n", "\n");
  text = replaced(text, "  constant PKG_A : PIN_MAP_STRING := \"IO1:1, IO2:2\";\n", "\n");
  text = replaced(text, "  attribute COMPONENT_CONFORMANCE of TINY : entity is \"STD_1149_1_2001\";\n", "\n");
  auto e = ReadBSDLText(text, "tiny.bsd");
  EXPECT_EQ(e->FindPinByName("IO1")->PinNumber, "A1");
  EXPECT_EQ(e->ConformanceStatement, "STD_1149_1_1994");
}

struct BadCase {
  const char* name;
  const char* from;  // text of the fixture to replace
  const char* to;
  int line;
  const char* message;  // part of the message
};

class BSDLReaderErrors : public testing::TestWithParam<BadCase> {};

TEST_P(BSDLReaderErrors, NameTheFileTheLineAndWhatWasExpected) {
  const BadCase& c = GetParam();
  std::string text = replaced(kFixture, c.from, c.to);
  try {
    ReadBSDLText(text, "bad.bsd");
    FAIL() << "accepted";
  } catch (const BSDLReadError& e) {
    EXPECT_EQ(e.file(), "bad.bsd");
    EXPECT_EQ(e.line(), c.line) << e.what();
    EXPECT_NE(e.message().find(c.message), std::string::npos) << e.what();
    EXPECT_EQ(std::string(e.what()).rfind("bad.bsd:" + std::to_string(c.line) + ": ", 0), 0u) << e.what();
  }
}

const BadCase kBadCases[] = {
    {"UnterminatedString", "\"IO1:A1, IO2:A2, CLK:A3, OC:A4, \" &", "\"IO1:A1, IO2:A2, CLK:A3, OC:A4, &", 21,
     "unterminated string literal"},
    {"MissingRequiredAttribute", "attribute BOUNDARY_LENGTH of TINY : entity is 9;", "", 56,
     "without the required attribute BOUNDARY_LENGTH"},
    {"MissingTapAttribute", "attribute TAP_SCAN_MODE of TMS : signal is true;", "", 56, "TAP_SCAN_MODE"},
    {"CellNamesUnknownPort", "\"6 (BC_4, IO2, OBSERVE_ONLY, X), \"", "\"6 (BC_4, IO9, OBSERVE_ONLY, X), \"", 51,
     "cell 6 names port IO9, which the port list does not declare"},
    {"CellNamesVectorWithoutIndex", "\"4 (BC_1, BUS(3),", "\"4 (BC_1, BUS,", 49, "without a bit index"},
    {"CellNamesMissingControlCell", "\"2 (BC_7, IO1, BIDIR, X, 1, 0, Z), \"", "\"2 (BC_7, IO1, BIDIR, X, 6, 0, Z), \"",
     46, "names control cell 6, which is no CONTROL or CONTROLR cell"},
    {"ControlCellOutsideRegister", "\"2 (BC_7, IO1, BIDIR, X, 1, 0, Z), \"",
     "\"2 (BC_7, IO1, BIDIR, X, 60, 0, Z), \"", 46, "outside the boundary register"},
    {"LengthLongerThanRegister", "entity is 9;", "entity is 12;", 41,
     "BOUNDARY_LENGTH is 12, but BOUNDARY_REGISTER describes only 11 cell(s)"},
    {"LengthShorterThanRegister", "entity is 9;", "entity is 8;", 53, "cell 8 lies outside the boundary register"},
    {"CellDescribedThreeTimes", "\"6 (BC_4, IO2, OBSERVE_ONLY, X), \"", "\"1 (BC_4, IO2, OBSERVE_ONLY, X), \"", 51,
     "cell 1 is described more than twice"},
    {"CellMissing", "\"6 (BC_4, IO2, OBSERVE_ONLY, X), \"", "\"0 (BC_4, IO2, OBSERVE_ONLY, X), \"", 42,
     "BOUNDARY_REGISTER does not describe cell 6"},
    {"CellTwiceSameFunction", "\"6 (BC_4, IO2, OBSERVE_ONLY, X), \"", "\"0 (BC_4, IO2, INPUT, X), \"", 51,
     "cell 0 is described twice with function Input (first on line 43)"},
    {"GapInNumbers", "\"6 (BC_4, IO2, OBSERVE_ONLY, X), \"", "\"9 (BC_4, IO2, OBSERVE_ONLY, X), \"", 51,
     "cell 9 lies outside"},
    {"UnknownCellFunction", "OBSERVE_ONLY", "WATCH", 51, "expected the function of cell 6"},
    {"BadSafeBit", "\"8 (BC_0, *, INTERNAL, 1)\"", "\"8 (BC_0, *, INTERNAL, 2)\"", 53, "safe bit 0, 1 or X"},
    {"BadDisableResult", "0, keeper", "0, sticky", 50, "disable result Z, WEAK0"},
    {"CellWithoutClosingParenthesis", "\"8 (BC_0, *, INTERNAL, 1)\"", "\"8 (BC_0, *, INTERNAL, 1\"", 53,
     "expected ')' to close cell 8 in BOUNDARY_REGISTER, found the end of the string"},
    {"DuplicatePort", "    NC       : linkage bit\n", "    IO2      : linkage bit\n", 13, "port IO2 is declared twice"},
    {"PinMappedTwice", "GND:D3", "GND:A2", 23, "pin A2 is mapped to both IO2 and GND"},
    {"PortWithoutPins", ", NC:D4\"", "\"", 13, "port NC has no pins in PIN_MAP_STRING PKG_B"},
    {"VectorPinCountDisagrees", "VCC:(D1,D2)", "VCC:(D1,D2,D5)", 23, "gives port VCC 3 pin(s), but the port has 2"},
    {"PinMapNamesUnknownPort", "NC:D4\"", "NC:D4, XX:D9\"", 23, "maps XX, which the port list does not declare"},
    {"GenericSelectsMissingPackage", "\"PKG_B\");", "\"PKG_C\");", 3, "selects package PKG_C"},
    {"OpcodeLengthDisagrees", "EXTEST (0000)", "EXTEST (00000)", 31, "has 5 bits, expected 4"},
    {"OpcodeWithBadCharacter", "SAMPLE (0010)", "SAMPLE (0020)", 31, "of the characters 0, 1 and X"},
    {"InstructionDefinedTwice", "SCAN_A (1000)", "EXTEST (1000)", 32, "instruction EXTEST is defined twice"},
    {"CaptureLengthDisagrees", "\"XX01\"", "\"XX001\"", 33, "INSTRUCTION_CAPTURE 'XX001' has 5 bits"},
    {"PrivateUnknown", "is \"PRIV\";", "is \"PRIVATE\";", 34, "INSTRUCTION_PRIVATE names PRIVATE"},
    {"IdcodeTooShort", "\"0001\" & ", "\"001\" & ", 36, "has 31 bits, expected 32"},
    {"RegisterAccessUnknownInstruction", "(HIGHZ, PRIV)", "(HIGHZ, RUNBIST)", 39,
     "REGISTER_ACCESS names instruction RUNBIST, which INSTRUCTION_OPCODE does not define"},
    {"RegisterLengthDisagrees", "BYPASS (HIGHZ, PRIV)", "BYPASS[2] (HIGHZ, PRIV)", 39,
     "register BYPASS is given length 2, but its length is 1"},
    {"InstructionInTwoRegisters", "SCANREG[7] (SCAN_A)", "SCANREG[7] (SCAN_A, PRIV)", 39,
     "instruction PRIV is given more than one register"},
    {"AttributeOfAnotherEntity", "INSTRUCTION_LENGTH of TINY", "INSTRUCTION_LENGTH of HUGE", 29,
     "names entity HUGE, but this is entity TINY"},
    {"AttributeGivenTwice", "attribute USERCODE_REGISTER", "attribute IDCODE_REGISTER", 37,
     "IDCODE_REGISTER is given twice (first on line 35)"},
    {"TapPortUnknown", "TAP_SCAN_IN of TDI", "TAP_SCAN_IN of TDX", 24, "names port TDX"},
    {"TapPortIsVector", "TAP_SCAN_IN of TDI", "TAP_SCAN_IN of BUS", 24, "BUS is a bit_vector"},
    {"TapOutputIsInput", "TAP_SCAN_OUT of TDO", "TAP_SCAN_OUT of TDI", 25, "needs an out port"},
    {"ScanClockHaltState", "(2.5e7, LOW)", "(2.5e7, HIGH)", 27, "the halt state LOW or BOTH"},
    {"InstructionLengthTooShort", "entity is 4;", "entity is 1;", 29, "expected at least 2"},
    {"NumberTooLarge", "entity is 9;", "entity is 99999999999;", 41, "too large"},
    {"UnexpectedCharacter", "CLK      : in bit;", "CLK      : in bit; $", 6, "unexpected character '$'"},
    {"MissingSemicolon", "    TDO      : out bit;", "    TDO      : out bit", 11,
     "expected ')' or ';' after a port declaration"},
    {"EndClosesAnotherEntity", "end TINY;", "end HUGE;", 56, "'end HUGE' closes entity TINY"},
    {"TextAfterTheEnd", "end TINY;\n", "end TINY;\nentity", 57, "expected nothing after the end of entity TINY"},
    {"TruncatedFile", "end TINY;\n", "", 56, "the file ends inside entity TINY"},
    {"StatementNotUnderstood", "  use STD_1149_1_1994.all;", "  signal X : bit;", 15,
     "expected 'generic', 'port', 'use', 'attribute', 'constant' or 'end', found 'signal'"},
    {"EmptyRange", "bit_vector (3 downto 2)", "bit_vector (2 downto 3)", 8, "the range of port BUS is empty"},
    {"StringWhereNumberExpected", "entity is 4;", "entity is \"4\";", 29, "expected a whole number"},
};

INSTANTIATE_TEST_SUITE_P(Fixture, BSDLReaderErrors, testing::ValuesIn(kBadCases),
                         [](const testing::TestParamInfo<BadCase>& i) { return std::string(i.param.name); });

TEST(BSDLReader, FileErrorsNameThePath) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("bscan_tests_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string missing = (dir / "missing.bsd").string();
  try {
    ReadBSDLFile(missing);
    FAIL();
  } catch (const BSDLReadError& e) {
    EXPECT_EQ(e.file(), missing);
    EXPECT_EQ(e.line(), 0);
    EXPECT_NE(std::string(e.what()).find("does not exist"), std::string::npos);
  }
  EXPECT_THROW(ReadBSDLFile(dir.string()), BSDLReadError);  // a folder

  std::string good = (dir / "tiny.bsd").string();
  std::ofstream(good) << kFixture;
  auto e = ReadBSDLFile(good);
  EXPECT_EQ(e->Filename, good);
  EXPECT_EQ(e->BoundaryCells().size(), 11u);
  fs::remove_all(dir);
}
