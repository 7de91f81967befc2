#include <gtest/gtest.h>

#include <cstdlib>

#include "zolta/sim/device_catalogue.h"
#include "zolta/sim/error.h"
#include "zolta/sim/jtag_id_map.h"

namespace zsim {
namespace {

// The shipped map names every base device under the IDCODE the simulated die answers.
TEST(JtagIdMap, ShippedMapCoversEverySimulatedDie) {
  const char* source = std::getenv("ZOLTA_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const auto map = loadJtagIdMap(std::string(source) + "/data/JTagIdMap.txt");
  for (const SimBaseDevice& base : simBaseDevices()) {
    SCOPED_TRACE(std::string(base.baseName));
    const JtagIdEntry* e = findJtagId(map, base.idcode);
    ASSERT_NE(e, nullptr);
    EXPECT_NE(std::find(e->names.begin(), e->names.end(), base.baseName), e->names.end());
    // The version nibble is ignored.
    EXPECT_EQ(findJtagId(map, base.idcode | 0x30000000u), e);
  }
  EXPECT_EQ(findJtagId(map, 0x0BA00477u), nullptr);
}

TEST(JtagIdMap, MalformedLinesNameSourceAndLine) {
  struct Case {
    const char* text;
    const char* mentions;
  };
  const Case cases[] = {
      {"0x024810DD 0x0FFFFFFF\n", "map.txt:1: expected IDCODE MASK NAME"},
      {"# c\n\n024810DD 0x0FFFFFFF EP2AGZ225F\n", "map.txt:3: '024810DD' is not a hexadecimal IDCODE"},
      {"0x024810DD 0xFFFFFFFFF A\n", "map.txt:1: '0xFFFFFFFFF' is not a hexadecimal mask"},
      {"0x024810DD mask A\n", "is not a hexadecimal mask"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      parseJtagIdMap(c.text, "map.txt");
      ADD_FAILURE() << "accepted";
    } catch (const SimError& e) {
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
    }
  }
  const auto ok = parseJtagIdMap("  # comment\r\n0x1 0xF A B\r\n", "m");
  ASSERT_EQ(ok.size(), 1u);
  EXPECT_EQ(ok[0].names, (std::vector<std::string>{"A", "B"}));
  EXPECT_THROW(loadJtagIdMap("/nonexistent/JTagIdMap.txt"), SimError);
}

}  // namespace
}  // namespace zsim
