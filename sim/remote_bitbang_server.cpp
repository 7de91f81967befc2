#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "zolta/sim/chain.h"
#include "zolta/sim/error.h"
#include "zolta/sim/remote_bitbang.h"

namespace zsim {

namespace {

constexpr int kStopPollMs = 100;

std::string peerName(const sockaddr_in& a) {
  char buf[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &a.sin_addr, buf, sizeof buf);
  return std::string(buf) + ":" + std::to_string(ntohs(a.sin_port));
}

// Sends all of `data`, giving up when `stop` is set or the client is gone; answers false then.
bool sendAll(int fd, const std::string& data, const std::atomic<bool>& stop) {
  size_t sent = 0;
  while (sent < data.size()) {
    if (stop.load()) return false;
    const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, kStopPollMs);
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace

RemoteBitbangServer::RemoteBitbangServer(std::shared_ptr<Chain> chain, uint16_t port, Log log)
    : chain_(std::move(chain)), log_(std::move(log)) {
  if (!chain_) throw SimError("remote_bitbang server needs a chain");
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw SimError(std::string("remote_bitbang server: cannot create a socket: ") + std::strerror(errno));
  int one = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || listen(listenFd_, 4) < 0) {
    const std::string reason = std::strerror(errno);
    close(listenFd_);
    throw SimError("remote_bitbang server: cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + reason);
  }
  socklen_t len = sizeof addr;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
}

RemoteBitbangServer::~RemoteBitbangServer() {
  if (listenFd_ >= 0) close(listenFd_);
}

void RemoteBitbangServer::run(const std::atomic<bool>& stop) {
  while (!stop.load()) {
    pollfd p{listenFd_, POLLIN, 0};
    const int rc = poll(&p, 1, kStopPollMs);
    if (rc <= 0) continue;
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) continue;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const std::string name = peerName(peer);
    log("client " + name + " connected");
    serveClient(fd, name, stop);
    close(fd);
    std::string states;
    for (size_t i = 0; i < chain_->size(); ++i) {
      const ChainDevice& d = chain_->device(i);
      const std::string status = d.status();
      states += "\n  device " + std::to_string(i) + " " + d.name() + (status.empty() ? "" : ": " + status);
    }
    log("client " + name + " disconnected" + states);
  }
}

void RemoteBitbangServer::serveClient(int fd, const std::string& peer, const std::atomic<bool>& stop) {
  RemoteBitbangProtocol protocol(*chain_);
  std::vector<uint8_t> buf(1 << 16);
  std::string replies;
  while (!stop.load()) {
    pollfd p{fd, POLLIN, 0};
    const int rc = poll(&p, 1, kStopPollMs);
    if (rc < 0 && errno != EINTR) return;
    if (rc <= 0) continue;
    const ssize_t n = recv(fd, buf.data(), buf.size(), MSG_DONTWAIT);
    if (n == 0) return;
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      log("client " + peer + ": " + std::strerror(errno));
      return;
    }
    replies.clear();
    protocol.handle(buf.data(), static_cast<size_t>(n), replies);
    if (!replies.empty() && !sendAll(fd, replies, stop)) return;
    if (protocol.quit()) return;
  }
}

void runRemoteBitbangServer(uint16_t port, std::string_view chainSpec, const std::atomic<bool>& stopFlag,
                            RemoteBitbangServer::Log log) {
  std::shared_ptr<Chain> chain = buildChain(chainSpec.empty() ? defaultChainSpec() : chainSpec);
  RemoteBitbangServer server(chain, port, log);
  if (log)
    log("remote_bitbang server listening on 127.0.0.1:" + std::to_string(server.port()) + ", chain " +
        chain->describe());
  server.run(stopFlag);
}

}  // namespace zsim
