#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "zolta/sim/error.h"
#include "zolta/sim/remote_bitbang.h"

namespace zsim {

namespace {

std::string seconds(std::chrono::milliseconds t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f s", static_cast<double>(t.count()) / 1000.0);
  return buf;
}

int pollMs(std::chrono::milliseconds t) { return t.count() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(t.count()); }

// Connects a non-blocking TCP socket, waiting at most `timeout`; answers -1 with `error` set.
int connectTo(const std::string& host, uint16_t port, std::chrono::milliseconds timeout, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list); rc != 0) {
    error = gai_strerror(rc);
    return -1;
  }
  int fd = -1;
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    fd = socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) {
      error = std::strerror(errno);
      continue;
    }
    int rc = connect(fd, ai->ai_addr, ai->ai_addrlen);
    if (rc < 0 && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      do rc = poll(&p, 1, pollMs(timeout));
      while (rc < 0 && errno == EINTR);
      if (rc == 0) {
        error = "no answer within " + seconds(timeout);
        rc = -1;
      } else if (rc > 0) {
        int soError = 0;
        socklen_t len = sizeof soError;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
        if (soError != 0) {
          error = std::strerror(soError);
          rc = -1;
        } else {
          rc = 0;
        }
      } else {
        error = std::strerror(errno);
      }
    } else if (rc < 0) {
      error = std::strerror(errno);
    }
    if (rc == 0) break;
    close(fd);
    fd = -1;
  }
  freeaddrinfo(list);
  if (fd >= 0) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  return fd;
}

inline bool bitAt(const uint8_t* bits, size_t i) { return bits && ((bits[i >> 3] >> (i & 7)) & 1u); }

}  // namespace

RemoteBitbangCable::RemoteBitbangCable(std::string host, uint16_t port, std::chrono::milliseconds timeout)
    : host_(std::move(host)), port_(port), timeout_(timeout) {
  std::string error;
  fd_ = connectTo(host_, port_, timeout_, error);
  if (fd_ < 0) throw CableError("cannot connect to remote_bitbang server " + host_ + ":" + std::to_string(port_) + ": " + error);
}

RemoteBitbangCable::~RemoteBitbangCable() {
  if (fd_ < 0) return;
  if (broken_.empty()) {
    out_.push_back('Q');
    // Best effort: whatever is still queued, then the quit request, without waiting for the server.
    size_t sent = 0;
    while (sent < out_.size()) {
      const ssize_t n = send(fd_, out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        sent += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd p{fd_, POLLOUT, 0};
        if (poll(&p, 1, pollMs(timeout_)) > 0) continue;
      }
      break;
    }
  }
  close(fd_);
}

std::string RemoteBitbangCable::description() const { return "remote_bitbang " + host_ + ":" + std::to_string(port_); }

void RemoteBitbangCable::fail(const std::string& reason) {
  broken_ = "remote_bitbang server " + host_ + ":" + std::to_string(port_) + ": " + reason;
  out_.clear();
  throw CableError(broken_);
}

void RemoteBitbangCable::checkUsable() const {
  if (!broken_.empty()) throw CableError(broken_);
}

void RemoteBitbangCable::exchange(uint8_t* into, size_t replies, size_t firstBit) {
  checkUsable();
  size_t sent = 0;
  size_t got = 0;
  char in[1 << 14];
  while (sent < out_.size() || got < replies) {
    pollfd p{fd_, 0, 0};
    if (sent < out_.size()) p.events |= POLLOUT;
    if (got < replies) p.events |= POLLIN;
    const int rc = poll(&p, 1, pollMs(timeout_));
    if (rc < 0) {
      if (errno == EINTR) continue;
      fail(std::string("poll failed: ") + std::strerror(errno));
    }
    if (rc == 0)
      fail(got < replies ? "no answer within " + seconds(timeout_) : "took no data for " + seconds(timeout_));
    const bool trouble = p.revents & (POLLHUP | POLLERR);
    if (got < replies && (p.revents & POLLIN || trouble)) {
      const ssize_t n = recv(fd_, in, std::min(sizeof in, replies - got), MSG_DONTWAIT);
      if (n == 0) fail("the server closed the connection");
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        fail(errno == ECONNRESET ? "the server closed the connection"
                                 : std::string("connection lost: ") + std::strerror(errno));
      for (ssize_t k = 0; k < n; ++k, ++got) {
        const char c = in[k];
        if (c != '0' && c != '1') {
          char buf[64];
          std::snprintf(buf, sizeof buf, "unexpected answer byte 0x%02X (expected '0' or '1')", static_cast<unsigned char>(c));
          fail(buf);
        }
        if (into) {
          const size_t bit = firstBit + got;
          const uint8_t mask = static_cast<uint8_t>(1u << (bit & 7));
          if (c == '1')
            into[bit >> 3] |= mask;
          else
            into[bit >> 3] &= static_cast<uint8_t>(~mask);
        }
      }
    }
    if (sent < out_.size() && (p.revents & POLLOUT || trouble)) {
      const ssize_t n = send(fd_, out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        sent += static_cast<size_t>(n);
      } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        fail(errno == EPIPE || errno == ECONNRESET ? "the server closed the connection"
                                                   : std::string("connection lost: ") + std::strerror(errno));
      } else if (trouble && got >= replies) {
        fail("the server closed the connection");
      }
    }
  }
  out_.clear();
}

void RemoteBitbangCable::write(bool tck, bool tms, bool tdi) {
  checkUsable();
  queue(rbbWriteRequest(tck, tms, tdi));
}

bool RemoteBitbangCable::readTdo() {
  checkUsable();
  out_.push_back('R');
  uint8_t bit = 0;
  exchange(&bit, 1);
  return bit & 1u;
}

void RemoteBitbangCable::writePins(const uint8_t* levels, size_t count) {
  checkUsable();
  for (size_t i = 0; i < count; ++i) queue(static_cast<char>('0' + (levels[i] & 7)));
}

void RemoteBitbangCable::shift(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count) {
  checkUsable();
  if (!tdo) {
    for (size_t i = 0; i < count; ++i) {
      const bool m = bitAt(tms, i), d = bitAt(tdi, i);
      out_.push_back(rbbWriteRequest(false, m, d));
      out_.push_back(rbbWriteRequest(true, m, d));
      if (out_.size() >= kSendBlock) exchange(nullptr, 0);
    }
    return;
  }
  // With TDO: blocks of bits, each sent in one go with its answers read as they come.
  constexpr size_t kBlockBits = 8192;
  if (count) tdo[(count - 1) >> 3] = 0;
  for (size_t first = 0; first < count; first += kBlockBits) {
    const size_t n = std::min(kBlockBits, count - first);
    out_.reserve(out_.size() + 3 * n);
    for (size_t i = first; i < first + n; ++i) {
      const bool m = bitAt(tms, i), d = bitAt(tdi, i);
      out_.push_back(rbbWriteRequest(false, m, d));
      out_.push_back('R');
      out_.push_back(rbbWriteRequest(true, m, d));
    }
    exchange(tdo, n, first);
  }
}

void RemoteBitbangCable::setResets(bool trst, bool srst) {
  checkUsable();
  queue(static_cast<char>('r' + (trst ? 2 : 0) + (srst ? 1 : 0)));
}

void RemoteBitbangCable::blink(bool on) {
  checkUsable();
  queue(on ? 'B' : 'b');
}

void RemoteBitbangCable::flush() {
  checkUsable();
  if (!out_.empty()) exchange(nullptr, 0);
}

}  // namespace zsim
