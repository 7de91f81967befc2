// Building boundary-scan entities from compiled-in descriptions.
#include <gtest/gtest.h>

#include <stdexcept>

#include "zolta/device_bsdl.h"

using namespace zolta;

namespace {

constexpr TBSDLCapacity kCapacity{4, 2, 5, 3, 2, 3};
using Description = TBSDLParametersT<kCapacity>;

// A small device: TDI, TDO and one I/O pin "IO1" with an input cell, an output cell and their control
// cell (which names a target cell), three opcodes and two register associations.
constexpr Description MakeDevice() {
  Description d;
  d.Name = "SMALL_DEVICE";
  d.BoundaryLength = 3;
  d.ScanClockMaxSpeed = 10e6;
  d.ScanClockHaltMode = eScanClockHaltMode_Both;
  d.ConformanceStatement = "STD_1149_1_2001";
  d.CompliancePattern = "(nCONFIG) (1)";
  d.Filename = "small.bsd";
  d.Instruction_SAMPLE = 5;
  d.PinNumber_TDI = "T1";
  d.PinNumber_TDO = "T2";
  d.PinNumber_TMS = "T3";  // not among the pins: stays none
  d.PinCount = 3;
  d.Pins[0] = {eElectricInput, "TDI", "T1", eScanPinKind_TDI, {"TDI", "T1"}, 0, {}};
  d.Pins[1] = {eElectricOutput, "TDO", "T2", eScanPinKind_TDO, {"TDO", "T2"}, 0, {}};
  d.Pins[2] = {eElectricIO, "IO1", "A5", eScanPinKind_Normal, {"IO1", "A5"}, 2, {0, 1}};
  d.BoundaryCellCount = 3;
  d.BoundaryCells[0] = {0, eCellKind_BC_1, "IO1", eCellFunction_Input, eBit_X, eBit_Undefined,
                        eDisableResult_Undefined, "A5", -1, -1};
  d.BoundaryCells[1] = {1, eCellKind_BC_1, "IO1", eCellFunction_Output3, eBit_X, eBit_0, eDisableResult_HiZ,
                        "A5", 2, -1};
  d.BoundaryCells[2] = {2, eCellKind_BC_1, "*", eCellFunction_Control, eBit_0, eBit_Undefined,
                        eDisableResult_Undefined, "", -1, 0};
  d.OpCodeCount = 3;
  d.OpCodes[0] = {"BYPASS", "1111111111"};
  d.OpCodes[1] = {"SAMPLE", "0000000101"};
  d.OpCodes[2] = {"IDCODE", "0000000110"};
  d.RegisterAssociationCount = 2;
  d.RegisterAssociations[0] = {"BOUNDARY", 3, 2, {{{"SAMPLE", ""}, {"EXTEST", ""}}}};
  d.RegisterAssociations[1] = {"DEVICE_ID", 32, 1, {{{"idcode", ""}}}};
  return d;
}

}  // namespace

TEST(BSDLBuilder, BuildsTheEntityWithItsLinks) {
  TBSDLEntityBuilder builder;
  const Description d = MakeDevice();
  const std::unique_ptr<TBSDLEntity> e = builder.Build(d);

  EXPECT_EQ(e->Name, "SMALL_DEVICE");
  EXPECT_EQ(e->BoundaryLength, 3);
  EXPECT_EQ(e->ScanClockMaxSpeed, 10e6);
  EXPECT_EQ(e->ScanClockHaltMode, eScanClockHaltMode_Both);
  EXPECT_EQ(e->ConformanceStatement, "STD_1149_1_2001");
  EXPECT_EQ(e->CompliancePattern, "(nCONFIG) (1)");
  EXPECT_EQ(e->Filename, "small.bsd");
  EXPECT_EQ(e->Instruction_SAMPLE, 5u);
  EXPECT_EQ(e->InstructionLength, 0);  // left for the caller
  EXPECT_EQ(e->IdCode, 0u);

  // Cells in description order, each linked to its pin, control and target cell separately.
  ASSERT_EQ(e->BoundaryCells().size(), 3u);
  TBoundaryCell* input = e->BoundaryCells()[0].get();
  TBoundaryCell* output = e->BoundaryCells()[1].get();
  TBoundaryCell* control = e->BoundaryCells()[2].get();
  EXPECT_EQ(output->CellFunction, eCellFunction_Output3);
  EXPECT_EQ(output->DisableResult, eDisableResult_HiZ);
  EXPECT_EQ(output->ControlCellNumber, 2);
  EXPECT_EQ(output->ControlCell, control);
  EXPECT_EQ(output->TargetCell, nullptr);
  EXPECT_EQ(control->ControlCell, nullptr);
  EXPECT_EQ(control->TargetCell, input);
  EXPECT_EQ(control->Pin, nullptr);
  EXPECT_EQ(control->PortId, "*");

  // Pins with their mappings and cells; TAP pins by number.
  ASSERT_EQ(e->Pins().size(), 3u);
  TScanPin* io = e->Pins()[2].get();
  EXPECT_EQ(io->Direction, eElectricIO);
  EXPECT_EQ(io->PinName, "IO1");
  ASSERT_EQ(io->BoundaryCells.size(), 2u);
  EXPECT_EQ(io->BoundaryCells[0], input);
  EXPECT_EQ(io->BoundaryCells[1], output);
  EXPECT_EQ(input->Pin, io);
  EXPECT_EQ(output->Pin, io);
  ASSERT_TRUE(io->PinMapping);
  EXPECT_EQ(io->PinMapping->PinNumber, "A5");
  EXPECT_EQ(io->PinMapping->ScanPin, io);  // a new mapping of the pin's own number links back to it
  EXPECT_EQ(e->PinMappings().size(), 3u);  // the entity owns the mappings it was given
  EXPECT_EQ(e->TAP_TDI, e->Pins()[0].get());
  EXPECT_EQ(e->TAP_TDO, e->Pins()[1].get());
  EXPECT_EQ(e->TAP_TMS, nullptr);
  EXPECT_EQ(e->TAP_TRST, nullptr);

  // Opcodes, and register associations that name them (a missing one keeps its name, no opcode).
  ASSERT_EQ(e->InstructionOpCodes().size(), 3u);
  EXPECT_EQ(e->InstructionOpCodes()[2]->OpCodePattern, "0000000110");
  ASSERT_EQ(e->RegisterAssociations().size(), 2u);
  const TRegisterAssociation& boundary = *e->RegisterAssociations()[0];
  EXPECT_EQ(boundary.RegisterLength, 3);
  ASSERT_EQ(boundary.InstructionOpCodes.size(), 2u);
  EXPECT_EQ(boundary.InstructionOpCodes[0].OpCode, e->InstructionOpCodes()[1].get());
  EXPECT_EQ(boundary.InstructionOpCodes[1].Name, "EXTEST");
  EXPECT_EQ(boundary.InstructionOpCodes[1].OpCode, nullptr);
  const TRegisterAssociation& id = *e->RegisterAssociations()[1];
  ASSERT_EQ(id.InstructionOpCodes.size(), 1u);
  EXPECT_EQ(id.InstructionOpCodes[0].OpCode, e->InstructionOpCodes()[2].get());  // found ignoring case

  // The host sees the same graph through dispatch.
  IDispatch* entity = e->dispatch();
  EXPECT_EQ(zabi::invoke(entity, bsdl_dispid::Entity_GetPinCount).toInt32(), 3);
  const DispPtr cell = zabi::invoke(entity, bsdl_dispid::Entity_GetBoundaryCell, 2).toDispatch();
  const DispPtr target = zabi::invoke(cell, bsdl_dispid::Cell_GetTargetCell).toDispatch();
  EXPECT_EQ(zabi::invoke(target, bsdl_dispid::Cell_GetCellNumber).toInt32(), 0);
}

TEST(BSDLBuilder, RepeatedKeysWithinADescriptionGiveOneObject) {
  Description d = MakeDevice();
  d.PinCount = 4;
  d.Pins[3] = {eElectricIO, "IO1_AGAIN", "a5", eScanPinKind_Normal, {"IO1", "A5"}, 0, {}};
  d.BoundaryCellCount = 4;
  d.BoundaryCells[3] = d.BoundaryCells[0];
  d.OpCodeCount = 3;
  d.OpCodes[2] = {"bypass", "0"};
  TBSDLEntityBuilder builder;
  const std::unique_ptr<TBSDLEntity> e = builder.Build(d);
  EXPECT_EQ(e->Pins().size(), 3u);
  EXPECT_EQ(e->Pins()[2]->PinName, "IO1");
  EXPECT_EQ(e->BoundaryCells().size(), 3u);
  EXPECT_EQ(e->InstructionOpCodes().size(), 2u);
  EXPECT_EQ(e->InstructionOpCodes()[0]->OpCodePattern, "1111111111");
}

TEST(BSDLBuilder, ACachedObjectServesOnlyTheEntityItWasMadeFor) {
  TBSDLEntityBuilder builder;
  const Description d = MakeDevice();
  const std::unique_ptr<TBSDLEntity> first = builder.Build(d);
  const std::unique_ptr<TBSDLEntity> second = builder.Build(d);
  ASSERT_EQ(second->Pins().size(), 3u);
  ASSERT_EQ(second->BoundaryCells().size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(second->Pins()[i]->Entity(), second.get());
    EXPECT_NE(second->Pins()[i].get(), first->Pins()[i].get());
    EXPECT_EQ(second->BoundaryCells()[i]->Entity(), second.get());
  }
  EXPECT_EQ(second->BoundaryCells()[1]->ControlCell, second->BoundaryCells()[2].get());
  EXPECT_EQ(second->Pins()[2]->PinMapping->Entity(), second.get());
  EXPECT_EQ(second->RegisterAssociations()[0]->InstructionOpCodes[0].OpCode, second->InstructionOpCodes()[1].get());
  // The first entity is untouched by the second build.
  EXPECT_EQ(first->BoundaryCells()[1]->ControlCell, first->BoundaryCells()[2].get());
  EXPECT_EQ(first->Pins()[2]->PinMapping->ScanPin, first->Pins()[2].get());
}

TEST(BSDLBuilder, CountsThatDoNotFitTheirArraysAreRefused) {
  struct Case {
    const char* what;
    void (*spoil)(Description&);
  } cases[] = {
      {"pins", [](Description& d) { d.PinCount = 5; }},
      {"negative cells", [](Description& d) { d.BoundaryCellCount = -1; }},
      {"opcodes", [](Description& d) { d.OpCodeCount = 4; }},
      {"registers", [](Description& d) { d.RegisterAssociationCount = 3; }},
      {"cells of a pin", [](Description& d) { d.Pins[2].BoundaryCellCount = 3; }},
      {"opcodes of a register", [](Description& d) { d.RegisterAssociations[1].OpCodeCount = 4; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Description d = MakeDevice();
    c.spoil(d);
    TBSDLEntityBuilder builder;
    try {
      builder.Build(d);
      ADD_FAILURE() << "built";
    } catch (const std::out_of_range& e) {
      EXPECT_NE(std::string(e.what()).find("SMALL_DEVICE"), std::string::npos) << e.what();
    }
  }
}
