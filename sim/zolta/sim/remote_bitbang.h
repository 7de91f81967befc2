// OpenOCD's remote_bitbang protocol over TCP: a client cable that reaches any remote_bitbang server,
// and a server that exposes a simulated chain on 127.0.0.1 so that OpenOCD (or our client) can scan
// and program it.
//
// The protocol: one ASCII byte per request, no framing, no greeting.
//   '0'..'7'  set TCK, TMS, TDI from bits 2, 1, 0 of (byte - '0')
//   'R'       read TDO: the server answers '0' or '1', in request order (clients send many 'R'
//             before reading the answers)
//   'B', 'b'  LED on, off
//   'r'..'u'  reset lines: byte - 'r' = TRST * 2 + SRST (1 = asserted)
//   'Q'       quit: the server closes the connection
// A bit is sent as TCK low with TMS and TDI, then 'R' when TDO is wanted, then TCK high. Servers
// ignore bytes they do not know (newer clients may send sleep requests 'Z' and 'z').
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zolta/sim/cable.h"

namespace zsim {

class Chain;

// The request byte for a pin write.
constexpr char rbbWriteRequest(bool tck, bool tms, bool tdi) { return static_cast<char>('0' + pinLevels(tck, tms, tdi)); }

// The server side of the protocol, without the socket: applies request bytes to a chain.
class RemoteBitbangProtocol {
 public:
  explicit RemoteBitbangProtocol(Chain& chain) : chain_(chain) {}

  // Applies `count` request bytes in order and appends one reply byte per 'R' to `replies`. Stops
  // after a 'Q' (quit() then answers true); answers the number of bytes used, the 'Q' included.
  size_t handle(const uint8_t* requests, size_t count, std::string& replies);

  bool quit() const { return quit_; }
  bool led() const { return led_; }
  uint64_t ignoredBytes() const { return ignored_; }

 private:
  Chain& chain_;
  bool quit_ = false;
  bool led_ = false;
  uint64_t ignored_ = 0;
};

// The client cable. Writes are buffered and sent in blocks; reads and shifts with TDO pipeline their
// requests and read the answers in bulk. A server that closes the connection, or sends nothing back
// and takes nothing in for `timeout`, makes the current call raise CableError naming the server;
// the cable stays broken afterwards.
class RemoteBitbangCable final : public Cable {
 public:
  static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

  // Connects (waiting at most `timeout`). Throws CableError naming HOST:PORT when it cannot.
  RemoteBitbangCable(std::string host, uint16_t port, std::chrono::milliseconds timeout = kDefaultTimeout);
  ~RemoteBitbangCable() override;  // sends 'Q' when the connection still works, then closes
  RemoteBitbangCable(const RemoteBitbangCable&) = delete;
  RemoteBitbangCable& operator=(const RemoteBitbangCable&) = delete;

  std::string description() const override;
  void write(bool tck, bool tms, bool tdi) override;
  bool readTdo() override;
  void writePins(const uint8_t* levels, size_t count) override;
  void shift(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count) override;
  void setResets(bool trst, bool srst) override;
  void flush() override;
  void blink(bool on);

 private:
  void queue(char request) {
    out_.push_back(request);
    if (out_.size() >= kSendBlock) exchange(nullptr, 0);
  }
  // Sends everything queued and reads `replies` answer bytes into `into` (as 0/1 bits, least
  // significant first, from bit `firstBit`).
  void exchange(uint8_t* into, size_t replies, size_t firstBit = 0);
  [[noreturn]] void fail(const std::string& reason);
  void checkUsable() const;

  static constexpr size_t kSendBlock = 1 << 16;

  std::string host_;
  uint16_t port_;
  std::chrono::milliseconds timeout_;
  int fd_ = -1;
  std::string out_;
  std::string broken_;
};

// The server: listens on 127.0.0.1 and serves one client at a time, in the order they connect; the
// chain keeps its state from one client to the next, like a board between two tool runs.
class RemoteBitbangServer {
 public:
  using Log = std::function<void(const std::string&)>;

  // Listens on 127.0.0.1:port (0 picks a free port, see port()). Throws SimError when `chain` is null
  // or the port cannot be had.
  RemoteBitbangServer(std::shared_ptr<Chain> chain, uint16_t port, Log log = {});
  ~RemoteBitbangServer();
  RemoteBitbangServer(const RemoteBitbangServer&) = delete;
  RemoteBitbangServer& operator=(const RemoteBitbangServer&) = delete;

  uint16_t port() const { return port_; }
  Chain& chain() const { return *chain_; }

  // Serves until `stop` becomes true (looked at every 100 ms at the latest, also in the middle of a
  // client's transfer), then drops the client and returns. May be called again.
  void run(const std::atomic<bool>& stop);

 private:
  void serveClient(int fd, const std::string& peer, const std::atomic<bool>& stop);
  void log(const std::string& line) const {
    if (log_) log_(line);
  }

  std::shared_ptr<Chain> chain_;
  uint16_t port_ = 0;
  int listenFd_ = -1;
  Log log_;
};

// For the command line: builds the chain that `chainSpec` describes (the default chain when it is
// empty), listens on 127.0.0.1:port, reports "remote_bitbang server listening on 127.0.0.1:PORT, chain
// ..." and each client through `log`, and serves until `stopFlag` becomes true. Throws SimError for a
// bad chain description or a port that cannot be had.
void runRemoteBitbangServer(uint16_t port, std::string_view chainSpec, const std::atomic<bool>& stopFlag,
                            RemoteBitbangServer::Log log = {});

}  // namespace zsim
