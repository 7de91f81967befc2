// The Arria II GZ driver's JTAG operations, reached through its dispatch interface the way the host
// relays them, on a bound host device whose channel drives the simulated chain.
#include <gtest/gtest.h>

#include "jtag_fixtures.h"
#include "zolta/arria2gz_driver.h"
#include "zolta/driver_interface.h"
#include "zolta/sim/rbf.h"

namespace zolta {
namespace {

using jtagtest::Bench;
using jtagtest::FakeHost;
using jtagtest::Scripted;
using jtagtest::TempDir;

// A host device on the bench's channel at `index`.
Scripted hostDevice(const Bench& b, int32_t index) {
  Scripted d;
  d.obj->answer(zabi::host::ZoltaDevice_GetJTagChannel, Var(b.channel));
  d.obj->answer(zabi::host::ZoltaDevice_GetJTagIndex, Var(index));
  return d;
}

TEST(Arria2GZDriverJtag, ProgramsResetsAndReadsTheBoundDevice) {
  FakeHost host;
  TempDir dir;
  Bench b("bypass,EP2AGZ225FF35C3");
  Scripted device = hostDevice(b, 1);
  TDevice_Arria2GZDriver driver(0);  // EP2AGZ225FF35C3
  zabi::IDispatch* d = driver.dispatch();
  ASSERT_TRUE(zabi::invoke(d, dispid::SetZoltaDevice, device.ref).toBool());

  EXPECT_EQ(zabi::invoke(d, dispid::GetDeviceState).toInt32(), 1);
  EXPECT_EQ(zabi::invoke(d, dispid::ReadUserCode).toInt32(), -1);

  const auto bytes = zsim::makeRbf("EP2AGZ225FF35C3", 0x0BADF00D, std::vector<uint8_t>(500, 0x5A));
  const std::string file = dir.write("top.rbf", bytes);
  EXPECT_EQ(zabi::invoke(d, dispid::ProgramDevice, file).toInt32(), int32_t(bytes.size() * 8));
  EXPECT_EQ(zabi::invoke(d, dispid::GetDeviceState).toInt32(), 2);
  EXPECT_EQ(zabi::invoke(d, dispid::ReadUserCode).toInt32(), 0x0BADF00D);
  // The instructions went to the bound index; the family came from the driver itself.
  EXPECT_NE(std::find(b.ch->log.begin(), b.ch->log.end(), "IR(2,1)"), b.ch->log.end());
  EXPECT_NE(std::find(host.log.begin(), host.log.end(), "fm 503996(Arria2GZ)"), host.log.end());

  EXPECT_TRUE(zabi::invoke(d, dispid::ResetDevice).toBool());
  EXPECT_EQ(zabi::invoke(d, dispid::GetDeviceState).toInt32(), 1);
  EXPECT_EQ(b.ch->lockDepth, 0);
}

TEST(Arria2GZDriverJtag, FailuresBecomeTheOperationsErrorStatus) {
  FakeHost host;
  TempDir dir;
  Bench b("EP2AGZ225FF35C3");
  b.ch->offerPins = false;
  Scripted device = hostDevice(b, 0);
  TDevice_Arria2GZDriver driver(0);
  driver.SetZoltaDevice(device.ref);
  const std::string file = dir.write("top.rbf", std::string(64, '\xFF'));

  zabi::Var result;
  std::string message;
  EXPECT_EQ(zabi::tryInvoke(driver.dispatch(), dispid::ProgramDevice, &result, &message, file), zabi::kDispException);
  EXPECT_NE(message.find("pin-level"), std::string::npos) << message;
  EXPECT_EQ(zabi::tryInvoke(driver.dispatch(), dispid::GetDeviceState, &result, &message), zabi::kDispException);
  EXPECT_EQ(b.ch->lockDepth, 0);
}

}  // namespace
}  // namespace zolta
