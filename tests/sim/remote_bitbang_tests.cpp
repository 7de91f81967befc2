#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <chrono>
#include <random>
#include <thread>

#include "altera_host_sequences.h"
#include "server_thread.h"
#include "zolta/sim/arria2gz_device.h"
#include "zolta/sim/chain.h"
#include "zolta/sim/error.h"
#include "zolta/sim/rbf.h"
#include "zolta/sim/remote_bitbang.h"
#include "zolta/sim/scan_engine.h"

namespace zsim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// ---- the protocol on its own ---------------------------------------------------------------------

std::string run(RemoteBitbangProtocol& p, const std::string& requests) {
  std::string replies;
  p.handle(reinterpret_cast<const uint8_t*>(requests.data()), requests.size(), replies);
  return replies;
}

TEST(RemoteBitbangProtocol, RequestBytes) {
  auto chain = buildChain("EP2AGZ225FF35C3");
  RemoteBitbangProtocol p(*chain);

  // '0'..'7' set TCK/TMS/TDI from bits 2/1/0: '2' then '6' is one clock with TMS high.
  run(p, "0404");  // two clocks with TMS low: Reset -> Idle
  EXPECT_EQ(chain->state(), TapState::Idle);
  run(p, "26");
  EXPECT_EQ(chain->state(), TapState::DrSelect);
  run(p, "0404");  // capture the IDCODE, enter Shift-DR
  EXPECT_EQ(chain->state(), TapState::DrShift);
  EXPECT_TRUE(chain->tck());
  // 'R' answers TDO in order: the IDCODE 0x024810DD, least significant bit first. TDI ('1') is taken
  // in with each rising edge ('5').
  std::string bits;
  for (int i = 0; i < 32; ++i) bits += "1R5";
  const std::string replies = run(p, bits);
  ASSERT_EQ(replies.size(), 32u);
  uint32_t id = 0;
  for (int i = 0; i < 32; ++i) id |= static_cast<uint32_t>(replies[static_cast<size_t>(i)] == '1') << i;
  EXPECT_EQ(id, 0x024810DDu);
  EXPECT_EQ(run(p, "1R"), "1");  // the ones shifted in come back out

  // 'B'/'b' LED; 'r'..'u' = TRST*2 + SRST: 't' and 'u' assert TRST, which resets the TAP.
  run(p, "B");
  EXPECT_TRUE(p.led());
  run(p, "b");
  EXPECT_FALSE(p.led());
  run(p, "s");  // SRST only: the TAP is untouched
  EXPECT_EQ(chain->state(), TapState::DrShift);
  run(p, "t");
  EXPECT_EQ(chain->state(), TapState::Reset);
  run(p, "04");  // held in reset
  EXPECT_EQ(chain->state(), TapState::Reset);
  run(p, "r0404");
  EXPECT_EQ(chain->state(), TapState::Idle);
  run(p, "u");
  EXPECT_EQ(chain->state(), TapState::Reset);
  run(p, "r");

  // Unknown bytes are ignored; 'Q' stops the handling there.
  const std::string tail = "Zz\nQ0404";
  std::string replies2;
  EXPECT_EQ(p.handle(reinterpret_cast<const uint8_t*>(tail.data()), tail.size(), replies2), 4u);
  EXPECT_TRUE(p.quit());
  EXPECT_EQ(p.ignoredBytes(), 3u);
  EXPECT_EQ(chain->state(), TapState::Reset);
}

// ---- over TCP ------------------------------------------------------------------------------------

using test::ServerThread;

int rawConnect(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Reads exactly n bytes or fails after two seconds.
std::string readN(int fd, size_t n) {
  std::string s;
  const auto end = Clock::now() + 2s;
  while (s.size() < n && Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[256];
    const ssize_t got = recv(fd, buf, std::min(sizeof buf, n - s.size()), 0);
    if (got <= 0) break;
    s.append(buf, static_cast<size_t>(got));
  }
  return s;
}

TEST(RemoteBitbangServer, AnswersRawRequestsAndClosesOnQuit) {
  ServerThread st("EP2AGZ300FF35C3");
  const int fd = rawConnect(st.server.port());
  ASSERT_GE(fd, 0);
  // Reset, Idle, Shift-DR, then 32 bits with TDO read.
  std::string req = "2626262626" "04" "26" "04" "04";
  for (int i = 0; i < 32; ++i) req += "0R4";
  ASSERT_EQ(send(fd, req.data(), req.size(), 0), static_cast<ssize_t>(req.size()));
  const std::string replies = readN(fd, 32);
  ASSERT_EQ(replies.size(), 32u);
  uint32_t id = 0;
  for (int i = 0; i < 32; ++i) id |= static_cast<uint32_t>(replies[static_cast<size_t>(i)] == '1') << i;
  EXPECT_EQ(id, 0x0240A0DDu);
  ASSERT_EQ(send(fd, "Q", 1, 0), 1);
  EXPECT_EQ(readN(fd, 1), "") << "the server closes the connection after Q";
  close(fd);

  // The next client is served, and the chain kept its state (still in Shift-DR).
  const int fd2 = rawConnect(st.server.port());
  ASSERT_GE(fd2, 0);
  ASSERT_EQ(send(fd2, "0R4", 3, 0), 3);
  EXPECT_EQ(readN(fd2, 1), "0");  // a zero shifted in 32 clocks ago comes out now
  close(fd2);
}

TEST(RemoteBitbangServer, PortInUseIsAnError) {
  ServerThread st("EP2AGZ300FF35C3");
  try {
    RemoteBitbangServer second(std::shared_ptr<Chain>(buildChain("bypass")), st.server.port());
    ADD_FAILURE() << "two servers on one port";
  } catch (const SimError& e) {
    EXPECT_NE(std::string(e.what()).find("127.0.0.1:" + std::to_string(st.server.port())), std::string::npos) << e.what();
  }
  std::atomic<bool> stop{true};
  EXPECT_THROW(runRemoteBitbangServer(0, "EP2AGZ000", stop), SimError);
}

TEST(RemoteBitbangServer, RunFunctionReportsAndStops) {
  std::atomic<bool> stop{false};
  std::vector<std::string> lines;
  std::mutex m;
  std::thread t([&] {
    runRemoteBitbangServer(0, "", stop, [&](const std::string& l) {
      std::lock_guard<std::mutex> g(m);
      lines.push_back(l);
    });
  });
  for (int i = 0; i < 100; ++i) {
    {
      std::lock_guard<std::mutex> g(m);
      if (!lines.empty()) break;
    }
    std::this_thread::sleep_for(10ms);
  }
  const auto t0 = Clock::now();
  stop = true;
  t.join();
  EXPECT_LT(Clock::now() - t0, 1s);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find("listening on 127.0.0.1:"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("chain EP2AGZ225FF35C3"), std::string::npos) << lines[0];
}

std::vector<uint8_t> randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

TEST(RemoteBitbangCable, ScansAndProgramsTheServedChain) {
  ServerThread st("EP2AGZ225FF35C3,EP2AGZ350HF40C4");
  RemoteBitbangCable cable("127.0.0.1", st.server.port());
  EXPECT_EQ(cable.description(), "remote_bitbang 127.0.0.1:" + std::to_string(st.server.port()));
  ScanEngine engine(cable);
  EXPECT_EQ(engine.readIdcodes(), (std::vector<uint32_t>{0x024810DDu, 0x024820DDu}));
  EXPECT_EQ(engine.measureIrChainLength(), 20u);
  engine.setIrLengths({10, 10});

  test::AlteraHostSequences host(engine, 2);
  host.program(makeRbf("EP2AGZ350HF40C4", 0x5EED, randomBytes(4000, 9)), 1);
  EXPECT_TRUE(host.confDone(894, 190, 1));
  EXPECT_FALSE(host.confDone(758, 186, 0));
  EXPECT_EQ(host.readUserCode(1), 0x5EEDu);

  cable.blink(true);
  cable.setResets(true, false);
  cable.setResets(false, false);
  cable.readTdo();  // a round trip: the server has handled everything before it
  st.stop();
  const auto* fpga = st.server.chain().deviceAs<Arria2GZDevice>(1);
  EXPECT_TRUE(fpga->configured()) << fpga->status();
  EXPECT_EQ(st.server.chain().state(), TapState::Reset);  // TRST reached the chain
}

// A cable that passes everything on and sets a flag once a number of pin writes went by.
class TrippingCable final : public Cable {
 public:
  TrippingCable(Cable& inner, size_t tripAfter, std::atomic<bool>& flag) : inner_(inner), trip_(tripAfter), flag_(flag) {}
  std::string description() const override { return inner_.description(); }
  void write(bool tck, bool tms, bool tdi) override { inner_.write(tck, tms, tdi); }
  bool readTdo() override { return inner_.readTdo(); }
  void writePins(const uint8_t* levels, size_t count) override {
    written_ += count;
    if (written_ >= trip_ && !flag_.exchange(true)) tripped = Clock::now();
    inner_.writePins(levels, count);
  }
  void shift(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count) override {
    inner_.shift(tms, tdi, tdo, count);
  }
  void flush() override { inner_.flush(); }
  Clock::time_point tripped{};

 private:
  Cable& inner_;
  size_t trip_;
  size_t written_ = 0;
  std::atomic<bool>& flag_;
};

TEST(RemoteBitbangCable, ServerGoneMidTransferFailsQuicklyWithAClearError) {
  ServerThread st("EP2AGZ225FF35C3");
  RemoteBitbangCable cable("127.0.0.1", st.server.port(), 2000ms);
  // The server stops once a quarter of a 256 KiB file went out (about 1.5 million pin writes).
  TrippingCable tripping(cable, 1'500'000, st.stopFlag);
  ScanEngine engine(tripping);
  engine.setIrLengths({10});
  test::AlteraHostSequences host(engine, 1);
  try {
    host.program(makeRbf("EP2AGZ225FF35C3", 1, randomBytes(256 * 1024, 10)), 0);
    ADD_FAILURE() << "programming went on without a server";
  } catch (const CableError& e) {
    const auto elapsed = Clock::now() - tripping.tripped;
    EXPECT_LT(elapsed, 3s);
    const std::string m = e.what();
    EXPECT_NE(m.find("remote_bitbang server 127.0.0.1:" + std::to_string(st.server.port())), std::string::npos) << m;
    EXPECT_NE(m.find("closed the connection"), std::string::npos) << m;
  }
  // The cable stays broken and says so at once.
  const auto t0 = Clock::now();
  EXPECT_THROW(cable.readTdo(), CableError);
  EXPECT_LT(Clock::now() - t0, 100ms);
}

// A server that accepts the connection but never reads nor answers.
struct SilentServer {
  SilentServer() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd, 1);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~SilentServer() { close(fd); }
  int fd;
  uint16_t port;
};

TEST(RemoteBitbangCable, SilentServerTimesOutInsteadOfHanging) {
  SilentServer silent;
  {
    RemoteBitbangCable cable("127.0.0.1", silent.port, 300ms);
    const auto t0 = Clock::now();
    try {
      cable.readTdo();
      ADD_FAILURE() << "an answer from nowhere";
    } catch (const CableError& e) {
      EXPECT_NE(std::string(e.what()).find("no answer within 0.3 s"), std::string::npos) << e.what();
    }
    EXPECT_LT(Clock::now() - t0, 2s);
  }
  {
    // Writes only: once the socket buffers are full, the server takes nothing in.
    RemoteBitbangCable cable("127.0.0.1", silent.port, 300ms);
    const std::vector<uint8_t> levels(1 << 20, 5);
    const auto t0 = Clock::now();
    try {
      for (int i = 0; i < 512; ++i) cable.writePins(levels.data(), levels.size());
      cable.flush();
      ADD_FAILURE() << "512 MiB into a server that reads nothing";
    } catch (const CableError& e) {
      EXPECT_NE(std::string(e.what()).find("took no data for 0.3 s"), std::string::npos) << e.what();
    }
    EXPECT_LT(Clock::now() - t0, 5s);
  }
}

TEST(RemoteBitbangCable, UnreachableServerAndCableTexts) {
  uint16_t freePort = 0;
  {
    SilentServer s;
    freePort = s.port;
  }
  try {
    RemoteBitbangCable cable("127.0.0.1", freePort, 500ms);
    ADD_FAILURE() << "connected to a closed port";
  } catch (const CableError& e) {
    EXPECT_NE(std::string(e.what()).find("cannot connect to remote_bitbang server 127.0.0.1:" + std::to_string(freePort)),
              std::string::npos)
        << e.what();
  }
  EXPECT_THROW(openCable("remote_bitbang:" + std::to_string(freePort)), CableError);

  EXPECT_EQ(openCable("")->description(), "simulated chain EP2AGZ225FF35C3");
  EXPECT_EQ(openCable("sim:bypass,EP2AGZ300FH29C3")->description(), "simulated chain bypass,EP2AGZ300FH29C3");
  ServerThread st("EP2AGZ225FF35C3");
  EXPECT_EQ(openCable("remote_bitbang:localhost:" + std::to_string(st.server.port()))->description(),
            "remote_bitbang localhost:" + std::to_string(st.server.port()));
  for (const char* bad : {"usb", "sim:", "remote_bitbang:", "remote_bitbang:host:", "remote_bitbang:70000",
                          "remote_bitbang:127.0.0.1:x"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(openCable(bad), SimError);
  }
}

}  // namespace
}  // namespace zsim
