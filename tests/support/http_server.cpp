#include "support/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace corvane::testing {
namespace {

constexpr size_t kChunk = 4096;

bool ReadFile(const std::string& path, std::string& contents) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream buffer;
  buffer << file.rdbuf();
  contents = buffer.str();
  return true;
}

std::string ContentType(const std::string& path) {
  const auto ends = [&](const char* suffix) {
    const size_t n = std::strlen(suffix);
    return path.size() >= n && path.compare(path.size() - n, n, suffix) == 0;
  };
  if (ends(".m3u8")) return "application/vnd.apple.mpegurl";
  if (ends(".ts")) return "video/mp2t";
  if (ends(".mp4") || ends(".m4a")) return "video/mp4";
  if (ends(".mkv")) return "video/x-matroska";
  return "application/octet-stream";
}

// "bytes=a-b" / "bytes=a-" against a body of `size` bytes.
bool ParseRange(const std::string& value, size_t size, size_t& first, size_t& last) {
  if (value.rfind("bytes=", 0) != 0 || size == 0) return false;
  const std::string spec = value.substr(6);
  const size_t dash = spec.find('-');
  if (dash == std::string::npos || dash == 0) return false;
  first = std::stoull(spec.substr(0, dash));
  last = dash + 1 < spec.size() ? std::stoull(spec.substr(dash + 1)) : size - 1;
  last = std::min(last, size - 1);
  return first <= last;
}

}  // namespace

TestHttpServer::TestHttpServer(std::string root, Options options) : root_(std::move(root)), options_(options) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  const int yes = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 16) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
  stopping_ = true;
  wake_.notify_all();
  ::shutdown(listenFd_, SHUT_RDWR);
  acceptThread_.join();
  std::vector<std::thread> connections;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    connections.swap(connections_);
  }
  for (auto& thread : connections) thread.join();
  ::close(listenFd_);
}

std::string TestHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

void TestHttpServer::ResumeStall() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stallResumed_ = true;
  }
  wake_.notify_all();
}

void TestHttpServer::AcceptLoop() {
  while (!stopping_) {
    pollfd waiting{listenFd_, POLLIN, 0};
    if (::poll(&waiting, 1, 100) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::close(fd);
      break;
    }
    openFds_.push_back(fd);
    connections_.emplace_back([this, fd] {
      Serve(fd);
      std::lock_guard<std::mutex> closing(mutex_);
      openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
      ::close(fd);
    });
  }
}

bool TestHttpServer::Pause(std::chrono::steady_clock::duration duration) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_for(lock, duration, [this] { return stopping_.load() || stallResumed_; });
  return !stopping_;
}

bool TestHttpServer::SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

bool TestHttpServer::SendBody(int fd, const std::string& body, size_t offset, size_t length) {
  size_t sent = 0;
  const bool cut = options_.breakAtOffset > 0 && offset + length > options_.breakAtOffset;
  if (cut) length = options_.breakAtOffset > offset ? options_.breakAtOffset - offset : 0;
  while (sent < length && !stopping_) {
    if (options_.stallAfterBytes > 0 && sent >= options_.stallAfterBytes) {
      bool stallNow = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        stallNow = !stallUsed_;
        stallUsed_ = true;
      }
      if (stallNow && !Pause(options_.stallFor)) return false;
    }
    const size_t chunk = std::min(kChunk, length - sent);
    if (!SendAll(fd, body.data() + offset + sent, chunk)) return false;
    sent += chunk;
    if (options_.bytesPerSecond > 0) {
      const auto wait = std::chrono::microseconds(chunk * 1'000'000 / options_.bytesPerSecond);
      std::unique_lock<std::mutex> lock(mutex_);
      if (wake_.wait_for(lock, wait, [this] { return stopping_.load(); })) return false;
    }
  }
  return sent == length && !cut;
}

void TestHttpServer::Serve(int fd) {
  std::string request;
  char buffer[2048];
  while (request.find("\r\n\r\n") == std::string::npos) {
    pollfd waiting{fd, POLLIN, 0};
    if (stopping_) return;
    if (::poll(&waiting, 1, 100) <= 0) continue;
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    request.append(buffer, static_cast<size_t>(got));
    if (request.size() > 64 * 1024) return;
  }
  ++requests_;
  std::istringstream lines(request);
  std::string method, target, version;
  lines >> method >> target >> version;
  std::string rangeValue;
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line) && line != "\r") {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    if (!value.empty() && value.back() == '\r') value.pop_back();
    if (name == "range") rangeValue = value;
  }
  if (!rangeValue.empty()) ++rangeRequests_;

  std::string body;
  const bool safePath = target.find("..") == std::string::npos && !target.empty() && target[0] == '/';
  const std::string path = target.substr(0, target.find('?'));
  if (method != "GET" || !safePath || !ReadFile(root_ + path, body)) {
    const std::string notFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    SendAll(fd, notFound.data(), notFound.size());
    return;
  }
  size_t first = 0, last = body.empty() ? 0 : body.size() - 1;
  const bool ranged = options_.supportRanges && !rangeValue.empty();
  if (ranged && !ParseRange(rangeValue, body.size(), first, last)) {
    const std::string unsatisfiable = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                                      std::to_string(body.size()) + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    SendAll(fd, unsatisfiable.data(), unsatisfiable.size());
    return;
  }
  const size_t length = body.empty() ? 0 : last - first + 1;
  std::string head = ranged ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
  head += "Content-Type: " + ContentType(path) + "\r\n";
  head += options_.supportRanges ? "Accept-Ranges: bytes\r\n" : "Accept-Ranges: none\r\n";
  if (ranged) {
    head += "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
            std::to_string(body.size()) + "\r\n";
  }
  if (options_.sendContentLength) head += "Content-Length: " + std::to_string(length) + "\r\n";
  head += "Connection: close\r\n\r\n";
  if (!SendAll(fd, head.data(), head.size())) return;
  SendBody(fd, body, first, length);
}

}  // namespace corvane::testing
