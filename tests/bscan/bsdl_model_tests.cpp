// The boundary-scan object model: defaults, texts, dispatch through wrappers and model objects,
// ownership rules.
#include <gtest/gtest.h>

#include "zolta/bscan/bsdl_model.h"

using namespace zolta;
namespace id = zolta::bsdl_dispid;
using zabi::kOk;

namespace {

// A small graph: pin IO1 on A5 with a mapping, control cell 5 and output cell 6 for IO1.
struct SmallEntity {
  std::unique_ptr<TBSDLEntity> entity = std::make_unique<TBSDLEntity>();
  TScanPin* pin = nullptr;
  TPinMapping* mapping = nullptr;
  TBoundaryCell* control = nullptr;
  TBoundaryCell* output = nullptr;
  TInstructionOpCode* bypass = nullptr;
  TRegisterAssociation* reg = nullptr;

  SmallEntity() {
    TBSDLEntity* e = entity.get();
    e->Name = "CHIP";
    pin = e->AddPin(std::make_unique<TScanPin>(e));
    pin->SetPinName("IO1");
    pin->SetPinNumber("A5");
    pin->SetDirection(eElectricIO);
    mapping = e->AddPinMapping(std::make_unique<TPinMapping>(e));
    mapping->SetPinName(u"IO1");
    mapping->SetPinNumber(u"A5");
    mapping->SetScanPin(pin);
    pin->SetPinMapping(mapping);

    control = e->AddBoundaryCell(std::make_unique<TBoundaryCell>(e));
    control->SetCellNumber(5);
    control->SetCellKind(eCellKind_BC_1);
    control->SetCellFunction(eCellFunction_Control);
    control->SetSafeBit(eBit_1);

    output = e->AddBoundaryCell(std::make_unique<TBoundaryCell>(e));
    output->SetCellNumber(6);
    output->SetCellKind(eCellKind_BC_1);
    output->SetPortId("IO1");
    output->SetCellFunction(eCellFunction_Output3);
    output->SetSafeBit(eBit_X);
    output->SetControlCellNumber(5);
    output->SetDisableValue(eBit_0);
    output->SetDisableResult(eDisableResult_HiZ);
    output->SetPin(pin);
    output->SetControlCell(control);
    control->SetTargetCell(output);
    pin->AddBoundaryCell(output);

    bypass = e->AddInstructionOpCode(std::make_unique<TInstructionOpCode>(e));
    bypass->SetInstructionName("BYPASS");
    bypass->SetOpCodePattern("1111");
    reg = e->AddRegisterAssociation(std::make_unique<TRegisterAssociation>(e));
    reg->SetRegisterName("BYPASS");
    reg->SetRegisterLength(1);
    reg->AddOpCode(bypass);
  }
};

zabi::IDispatch* disp(const zabi::Var& v) { return v.raw().pdispVal; }

}  // namespace

TEST(BSDLModel, FreshEntityAnswersDefaultsThroughItsOwnDispatch) {
  TBSDLEntity entity;
  zabi::IDispatch* d = entity.dispatch();
  EXPECT_EQ(zabi::invoke(d, id::Entity_GetPinCount).toInt32(), 0);
  EXPECT_EQ(zabi::invoke(d, id::Entity_GetBoundaryLength).toInt32(), 0);
  EXPECT_EQ(zabi::invoke(d, id::Entity_GetPinMappingCount).toInt32(), 0);
  for (zabi::DispId i = id::Entity_GetInstruction_BYPASS; i <= id::Entity_GetInstruction_HIGHZ; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(zabi::invoke(d, i).toUInt32(), 4294967295u);
  }
  EXPECT_EQ(zabi::invoke(d, id::Entity_GetScanClockHaltMode).toInt32(), 0);
  EXPECT_EQ(zabi::invoke(d, id::Entity_GetScanClockMaxSpeed).toDouble(), 0.0);
  for (zabi::DispId i = id::Entity_GetPin_TDI; i <= id::Entity_GetPin_TRST; ++i) {
    zabi::Var v = zabi::invoke(d, i);
    EXPECT_EQ(v.type(), zabi::VT_DISPATCH);
    EXPECT_EQ(disp(v), nullptr);
  }
  EXPECT_TRUE(zabi::invoke(d, kDispSupportsService, "bsdlentity").toBool());
  EXPECT_EQ(zabi::tryInvoke(d, 1, nullptr, nullptr), zabi::kNotImpl);
}

TEST(BSDLModel, IndexedGettersOutsideTheListAnswerNoneWithSuccess) {
  SmallEntity s;
  DispPtr entity(s.entity->Impl()->dispatch());
  DispPtr pin = WrapperOf(s.pin);
  DispPtr reg = WrapperOf(s.reg);
  struct Case {
    const char* what;
    zabi::IDispatch* object;
    zabi::DispId getter;
    int32_t count;
  };
  const Case cases[] = {
      {"entity pins", entity.get(), id::Entity_GetPin, 1},
      {"entity mappings", entity.get(), id::Entity_GetPinMapping, 1},
      {"entity cells", entity.get(), id::Entity_GetBoundaryCell, 2},
      {"entity opcodes", entity.get(), id::Entity_GetInstructionOpcode, 1},
      {"entity registers", entity.get(), id::Entity_GetRegisterAssociation, 1},
      {"pin cells", pin.get(), id::ScanPin_GetBoundaryCell, 1},
      {"register opcodes", reg.get(), id::Register_GetInstructionOpcode, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int32_t index : {-1, c.count, 1000000}) {
      zabi::Var v;
      ASSERT_EQ(zabi::tryInvoke(c.object, c.getter, &v, nullptr, index), kOk);
      EXPECT_EQ(disp(v), nullptr);
    }
    EXPECT_NE(disp(zabi::invoke(c.object, c.getter, c.count - 1)), nullptr);
  }
}

TEST(BSDLModel, EmptySlotsAndMissingOpcodesAnswerNone) {
  SmallEntity s;
  s.entity->AddPin(nullptr);
  s.reg->AddOpCode("HIGHZ", nullptr);
  DispPtr entity(s.entity->Impl()->dispatch());
  EXPECT_EQ(zabi::invoke(entity, id::Entity_GetPinCount).toInt32(), 2);
  EXPECT_EQ(disp(zabi::invoke(entity, id::Entity_GetPin, 1)), nullptr);
  DispPtr reg = WrapperOf(s.reg);
  EXPECT_EQ(zabi::invoke(reg, id::Register_GetInstructionOpcodeCount).toInt32(), 2);
  EXPECT_EQ(disp(zabi::invoke(reg, id::Register_GetInstructionOpcode, 1)), nullptr);
  EXPECT_EQ(s.reg->GetState_Description(), "BYPASS    [1] (BYPASS(1111),HIGHZ(NoOpcode))");
}

TEST(BSDLModel, DescriptionsFollowTheirLayouts) {
  SmallEntity s;
  EXPECT_EQ(s.pin->GetState_Description(), " Pin Name:IO1          Number:A5           IO:I/O");
  EXPECT_EQ(s.pin->GetState_ShortDescription(), "IO1(A5)-I/O");
  EXPECT_EQ(s.output->GetState_Description(),
            "6   (BC_1      ,IO1       ,Output3   ,X ,5   ,0 ,Z         , Pin:IO1");
  EXPECT_EQ(s.control->GetState_Description(), "5   (BC_1      ,*         ,Control   ,1 ");
  s.output->SetPin(nullptr);
  EXPECT_EQ(s.output->GetState_Description(), "6   (BC_1      ,IO1       ,Output3   ,X ,5   ,0 ,Z         ,");
  // Never cut: long fields push the rest along.
  s.control->SetCellNumber(123456);
  s.control->SetPortId("A_VERY_LONG_PORT");
  EXPECT_EQ(s.control->GetState_Description(), "123456(BC_1      ,A_VERY_LONG_PORT,Control   ,1 ");
  EXPECT_EQ(s.bypass->GetState_Description(), "BYPASS(1111)");
  EXPECT_EQ(s.mapping->GetState_Description(), "");

  TRegisterAssociation lone(s.entity.get());
  lone.SetRegisterName("BYPASS");
  lone.SetRegisterLength(1);
  lone.AddOpCode("BYPASS", nullptr);
  EXPECT_EQ(lone.GetState_Description(), "BYPASS    [1] (BYPASS(NoOpcode))");
  lone.SetRegisterLength(0);
  EXPECT_EQ(lone.GetState_ShortDescription(), "BYPASS     (BYPASS(NoOpcode))");

  EXPECT_EQ(s.pin->GetState_ImageIndex(), 19);
  EXPECT_EQ(s.output->GetState_ImageIndex(), 41);
  EXPECT_EQ(s.mapping->GetState_ImageIndex(), 4);
  EXPECT_EQ(s.bypass->GetState_ImageIndex(), 72);
  EXPECT_EQ(s.reg->GetState_ImageIndex(), 99);
}

TEST(BSDLModel, WrappersAnswerServicesOfTheirKindAndBases) {
  SmallEntity s;
  struct Case {
    const char* what;
    DispPtr object;
    const char* service;
    bool supported;
  };
  const Case cases[] = {
      {"pin", WrapperOf(s.pin), "scanpin", true},
      {"pin", WrapperOf(s.pin), "BSDLOBJECT", true},
      {"pin", WrapperOf(s.pin), "BSDLValueHolder", true},
      {"pin", WrapperOf(s.pin), "BoundaryCell", false},
      {"cell", WrapperOf(s.output), "boundarycell", true},
      {"cell", WrapperOf(s.output), "BSDLValueHolder", true},
      {"mapping", WrapperOf(s.mapping), "PinMapping", true},
      {"mapping", WrapperOf(s.mapping), "BSDLValueHolder", false},
      {"opcode", WrapperOf(s.bypass), "InstructionOpCode", true},
      {"register", WrapperOf(s.reg), "RegisterAssociation", true},
      {"register", WrapperOf(s.reg), "BSDLObject", true},
      {"entity", DispPtr(s.entity->Impl()->dispatch()), "BSDLEntity", true},
      {"entity", DispPtr(s.entity->Impl()->dispatch()), "BSDLObject", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + " " + c.service);
    EXPECT_EQ(zabi::invoke(c.object, kDispSupportsService, c.service).toBool(), c.supported);
  }
}

TEST(BSDLModel, LiveValuesAreStoredThroughIdentifier509024Only) {
  SmallEntity s;
  DispPtr cell = WrapperOf(s.output);
  zabi::invoke(cell, id::SetCurrentValue, 1);
  EXPECT_EQ(zabi::invoke(cell, id::Cell_GetCurrentValue).toInt32(), 1);
  EXPECT_EQ(s.output->CurrentValue, 1);

  DispPtr pin = WrapperOf(s.pin);
  zabi::invoke(pin, id::SetCurrentValue, "7");  // standard conversion of the argument
  EXPECT_EQ(zabi::invoke(pin, id::ScanPin_GetCurrentValue).toInt32(), 7);

  EXPECT_EQ(zabi::tryInvoke(WrapperOf(s.mapping).get(), id::SetCurrentValue, nullptr, nullptr, 1), zabi::kNotImpl);
  // The model object's own dispatch passes on to its wrappers.
  zabi::invoke(s.control->dispatch(), id::SetCurrentValue, 3);
  EXPECT_EQ(s.control->CurrentValue, 3);
}

TEST(BSDLModel, ModelObjectsAndEntityPassCallsOnToTheirWrappers) {
  SmallEntity s;
  // The base wrapper answers first: the description is still the kind's own.
  EXPECT_EQ(zabi::invoke(s.pin->dispatch(), id::GetShortDescription).toString(), "IO1(A5)-I/O");
  EXPECT_EQ(zabi::invoke(s.pin->dispatch(), id::ScanPin_GetPinNumber).toString(), "A5");
  EXPECT_EQ(zabi::invoke(s.entity->dispatch(), id::Entity_GetName).toString(), "CHIP");

  // Cross links come back as the linked object's wrapper.
  DispPtr cell = WrapperOf(s.output);
  EXPECT_EQ(disp(zabi::invoke(cell, id::Cell_GetPin)), WrapperOf(s.pin).get());
  EXPECT_EQ(disp(zabi::invoke(cell, id::Cell_GetControlCell)), WrapperOf(s.control).get());
  EXPECT_EQ(disp(zabi::invoke(WrapperOf(s.control), id::Cell_GetTargetCell)), cell.get());
  EXPECT_EQ(disp(zabi::invoke(WrapperOf(s.pin), id::ScanPin_GetPinMapping)), WrapperOf(s.mapping).get());
  EXPECT_EQ(disp(zabi::invoke(WrapperOf(s.mapping), id::PinMapping_GetScanPin)), WrapperOf(s.pin).get());
  zabi::Var entity = zabi::invoke(cell, id::GetEntity);
  EXPECT_EQ(disp(entity), s.entity->Impl()->dispatch());
  EXPECT_EQ(zabi::invoke(entity.toDispatch(), id::Entity_GetBoundaryCellCount).toInt32(), 2);
  EXPECT_EQ(zabi::invoke(WrapperOf(s.mapping), id::PinMapping_GetPinNumber).toString(), "A5");
}

TEST(BSDLModel, HeldWrappersFailCleanlyOnceTheEntityIsGone) {
  DispPtr pin, entity;
  {
    SmallEntity s;
    pin = WrapperOf(s.pin);
    entity = DispPtr(s.entity->Impl()->dispatch());
  }
  std::string message;
  EXPECT_EQ(zabi::tryInvoke(pin.get(), id::ScanPin_GetPinName, nullptr, &message), zabi::kDispException);
  EXPECT_NE(message.find("no longer exists"), std::string::npos);
  EXPECT_EQ(zabi::tryInvoke(entity.get(), id::Entity_GetPinCount, nullptr, nullptr), zabi::kDispException);
  EXPECT_EQ(zabi::tryInvoke(pin.get(), id::SetCurrentValue, nullptr, nullptr, 1), zabi::kDispException);
  // Services are answered by the wrapper itself.
  EXPECT_TRUE(zabi::invoke(pin, kDispSupportsService, "ScanPin").toBool());
}

TEST(BSDLModel, AddersRefuseObjectsOfOtherEntitiesAndSecondListings) {
  TBSDLEntity a, b;
  EXPECT_THROW(a.AddPin(std::make_unique<TScanPin>(&b)), std::invalid_argument);
  EXPECT_EQ(a.Pins().size(), 0u);
  TScanPin* pin = a.AddPin(std::make_unique<TScanPin>(&a));
  EXPECT_THROW(a.AddPin(std::unique_ptr<TScanPin>(pin)), std::invalid_argument);
  EXPECT_EQ(a.Pins().size(), 1u);
  EXPECT_EQ(a.Pins().front().get(), pin);  // still owned once, by its list
}
