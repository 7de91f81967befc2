// A remote_bitbang server on a free loopback port, served by a thread until stop() or the end of scope.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "zolta/sim/chain.h"
#include "zolta/sim/remote_bitbang.h"

namespace zsim::test {

struct ServerThread {
  explicit ServerThread(const char* spec) : server(std::shared_ptr<Chain>(buildChain(spec)), 0) {
    thread = std::thread([this] { server.run(stopFlag); });
  }
  ~ServerThread() { stop(); }
  void stop() {
    stopFlag = true;
    if (thread.joinable()) thread.join();
  }
  RemoteBitbangServer server;
  std::atomic<bool> stopFlag{false};
  std::thread thread;
};

}  // namespace zsim::test
