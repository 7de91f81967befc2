#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "zolta/sim/error.h"
#include "zolta/sim/rbf.h"

namespace zsim {
namespace {

namespace fs = std::filesystem;

struct RbfFiles : ::testing::Test {
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zolta_rbf_" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path put(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    return p;
  }
  fs::path dir;
};

TEST_F(RbfFiles, WriteThenReadRoundTrip) {
  std::vector<uint8_t> payload(100000);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  const fs::path p = dir / "design.rbf";
  writeRbf(p, "EP2AGZ350HF40I4N", 0x89ABCDEFu, payload);

  const RbfInfo info = readRbf(p);
  EXPECT_EQ(info.deviceName, "EP2AGZ350HF40I4N");
  EXPECT_EQ(info.userCode, 0x89ABCDEFu);
  EXPECT_EQ(info.payloadSize, payload.size());
  EXPECT_EQ(info.leadingPadding, kRbfPadding);
  EXPECT_EQ(info.fileSize, kRbfPadding + kRbfHeaderSize + payload.size() + 4);
  EXPECT_EQ(info.checksum, Crc32::of(makeRbf("EP2AGZ350HF40I4N", 0x89ABCDEFu, payload).data() + kRbfPadding,
                                     kRbfHeaderSize + payload.size()));

  // An empty payload is a valid file, and trailing 0xFF padding is allowed.
  std::vector<uint8_t> empty = makeRbf("X", 0, {});
  empty.insert(empty.end(), 8, 0xFF);
  EXPECT_EQ(readRbf(put("empty.rbf", empty)).payloadSize, 0u);
}

TEST_F(RbfFiles, ChecksumIsTheStandardCrc32) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc32::of(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);
}

TEST_F(RbfFiles, MalformedFilesAreRejectedNamingFileAndFault) {
  const std::vector<uint8_t> payload(300, 0x5A);
  const std::vector<uint8_t> good = makeRbf("EP2AGZ225FF35C3", 1, payload);
  const size_t h = kRbfPadding;
  auto with = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> v = good;
    v[at] = value;
    return v;
  };
  auto reheader = [&](std::vector<uint8_t> v) {  // recompute the header CRC after an edit
    const uint32_t crc = Crc32::of(v.data() + h, 60);
    for (int i = 0; i < 4; ++i) v[h + 60 + static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (8 * i));
    return v;
  };
  auto cut = [&](size_t keep) { return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(keep)); };
  std::vector<uint8_t> garbageAfter = good;
  garbageAfter.push_back(0x00);
  std::vector<uint8_t> version2 = good;
  version2[h + 4] = 2;
  std::vector<uint8_t> noName = good;
  std::fill(noName.begin() + static_cast<long>(h + 8), noName.begin() + static_cast<long>(h + 40), 0);
  std::vector<uint8_t> unterminated = good;
  std::fill(unterminated.begin() + static_cast<long>(h + 8), unterminated.begin() + static_cast<long>(h + 40), 'A');

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* mentions;
  };
  const Case cases[] = {
      {"empty.rbf", {}, "no header"},
      {"padding.rbf", std::vector<uint8_t>(50, 0xFF), "no header"},
      {"text.rbf", {'h', 'e', 'l', 'l', 'o'}, "no ZRBF header"},
      {"short_header.rbf", cut(h + 30), "truncated header (30 of 64 bytes)"},
      {"header_crc.rbf", with(h + 12, 'Q'), "header checksum mismatch"},
      {"version.rbf", reheader(version2), "unsupported format version 2"},
      {"noname.rbf", reheader(noName), "names no device"},
      {"unterminated.rbf", reheader(unterminated), "not terminated"},
      {"short_payload.rbf", cut(h + 64 + 200), "declares 300 payload bytes, the file holds 200"},
      {"no_crc.rbf", cut(good.size() - 4), "checksum is missing"},
      {"payload.rbf", with(h + 64 + 5, 0x00), "checksum mismatch (stored"},
      {"trailing.rbf", garbageAfter, "unexpected data after the checksum"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path p = put(c.name, c.bytes);
    try {
      readRbf(p);
      ADD_FAILURE() << "accepted";
    } catch (const SimError& e) {
      const std::string m = e.what();
      EXPECT_NE(m.find(c.mentions), std::string::npos) << m;
      EXPECT_NE(m.find(c.name), std::string::npos) << m;
    }
  }
  EXPECT_THROW(readRbf(dir / "missing.rbf"), SimError);
}

TEST_F(RbfFiles, WriterRejectsBadDeviceNamesAndUnwritablePaths) {
  for (const char* name : {"", "EP2AGZ 225", "EP2AGZ225FF35C3/x", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(makeRbf(name, 0, {}), SimError);
  }
  EXPECT_NO_THROW(makeRbf("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", 0, {}));  // 31 characters
  try {
    writeRbf(dir / "no_such_dir" / "x.rbf", "EP2AGZ225FF35C3", 0, {});
    ADD_FAILURE() << "wrote into a missing folder";
  } catch (const SimError& e) {
    EXPECT_NE(std::string(e.what()).find("no_such_dir"), std::string::npos) << e.what();
  }
}

// The stream parser takes the file in pieces of any size, as the device's engine feeds it.
TEST_F(RbfFiles, StreamParserAcceptsAnySplit) {
  const std::vector<uint8_t> file = makeRbf("EP2AGZ225FF35C3", 42, std::vector<uint8_t>(1000, 0x33));
  for (size_t piece : {1u, 3u, 64u, 999u, 5000u}) {
    SCOPED_TRACE(piece);
    RbfStreamParser p;
    size_t at = kRbfPadding;
    while (at < file.size() && p.status() != RbfStreamParser::Status::Done) {
      const size_t n = std::min(piece, file.size() - at);
      at += p.feed(file.data() + at, n);
    }
    EXPECT_EQ(p.status(), RbfStreamParser::Status::Done);
    EXPECT_EQ(p.header().userCode, 42u);
    EXPECT_EQ(p.consumed(), file.size() - kRbfPadding);
    // Bytes after the end are not taken.
    const uint8_t extra[2] = {1, 2};
    EXPECT_EQ(p.feed(extra, 2), 0u);
  }
}

}  // namespace
}  // namespace zsim
