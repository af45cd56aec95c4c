#include "support/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gio/gio.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "platform/linux/glib_handles.h"

namespace corvane::testing {
namespace {

constexpr size_t kChunk = 4096;

using platform::ErrorPtr;
using platform::GObjectPtr;

std::string Describe(const GError* error) { return error != nullptr ? error->message : "unknown error"; }

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

// The server's certificate and the cancellable that ends every blocking TLS
// call at stop. Made before the accept thread starts; afterwards only read.
struct TestHttpServer::TlsIdentity {
  GObjectPtr<GTlsCertificate> certificate;
  GObjectPtr<GCancellable> stopping;
};

// One client's byte stream. Owned and used by its connection thread alone.
class TestHttpServer::Connection {
 public:
  virtual ~Connection() = default;
  // Reads what has arrived, waiting for it; 0 once the client is gone, the
  // stream failed or the server stops.
  virtual size_t Receive(char* buffer, size_t size) = 0;
  virtual bool SendAll(const char* data, size_t size) = 0;
  // Called once the whole response went out.
  virtual void FinishResponse() {}
};

class TestHttpServer::PlainConnection : public Connection {
 public:
  PlainConnection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}

  size_t Receive(char* buffer, size_t size) override {
    // Polls in short steps so that a stop is noticed even before the
    // destructor's shutdown reaches this socket.
    while (!stopping_) {
      pollfd waiting{fd_, POLLIN, 0};
      if (::poll(&waiting, 1, 100) <= 0) continue;
      const ssize_t got = ::recv(fd_, buffer, size, 0);
      return got > 0 ? static_cast<size_t>(got) : 0;
    }
    return 0;
  }

  bool SendAll(const char* data, size_t size) override {
    while (size > 0) {
      const ssize_t sent = ::send(fd_, data, size, MSG_NOSIGNAL);
      if (sent <= 0) return false;
      data += sent;
      size -= static_cast<size_t>(sent);
    }
    return true;
  }

 private:
  const int fd_;  // owned by the server's connection bookkeeping
  const std::atomic<bool>& stopping_;
};

class TestHttpServer::TlsConnection : public Connection {
 public:
  explicit TlsConnection(const TlsIdentity& identity)
      : certificate_(identity.certificate.get()), stopping_(identity.stopping.get()) {}

  // GIO closes a stream nobody closed when it is freed, which would send
  // close_notify; a response cut short must look cut, so its socket is shut
  // down first and the alert goes nowhere.
  ~TlsConnection() override {
    if (!finished_ && fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
  }

  // Wraps the accepted socket `fd` and runs the server side of the
  // handshake. False when that fails: the client rejected the certificate,
  // went away, or the server stops.
  bool Open(int fd) {
    // GSocket closes the descriptor it is given, and the server closes
    // `fd` itself after serving, so GIO gets a duplicate. shutdown() at stop
    // acts on the socket both descriptors share.
    fd_ = fd;
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) return false;
    GError* rawError = nullptr;
    GObjectPtr<GSocket> socket(g_socket_new_from_fd(own, &rawError));  // Adopt
    ErrorPtr error(rawError);                                            // Adopt
    if (!socket) {
      ::close(own);
      return false;
    }
    base_.reset(g_socket_connection_factory_create_connection(socket.get()));  // Adopt
    rawError = nullptr;
    tls_.reset(G_IO_STREAM(g_tls_server_connection_new(G_IO_STREAM(base_.get()), certificate_, &rawError)));  // Adopt
    error.reset(rawError);
    if (!tls_) return false;
    rawError = nullptr;
    const bool secured = g_tls_connection_handshake(G_TLS_CONNECTION(tls_.get()), stopping_, &rawError);
    error.reset(rawError);
    return secured;
  }

  size_t Receive(char* buffer, size_t size) override {
    GError* rawError = nullptr;
    const gssize got =
        g_input_stream_read(g_io_stream_get_input_stream(tls_.get()), buffer, size, stopping_, &rawError);
    ErrorPtr error(rawError);  // Adopt
    return got > 0 ? static_cast<size_t>(got) : 0;
  }

  bool SendAll(const char* data, size_t size) override {
    GError* rawError = nullptr;
    const bool sent = g_output_stream_write_all(g_io_stream_get_output_stream(tls_.get()), data, size, nullptr,
                                                stopping_, &rawError);
    ErrorPtr error(rawError);  // Adopt
    return sent;
  }

  // A complete response ends with TLS's close_notify, so a client reading a
  // body without Content-Length up to the close can tell the end from a
  // cut; a response cut short just loses its socket without one.
  void FinishResponse() override {
    finished_ = true;
    GError* rawError = nullptr;
    g_io_stream_close(tls_.get(), stopping_, &rawError);
    ErrorPtr error(rawError);  // Adopt
  }

 private:
  // Both owned by the server's TlsIdentity, which outlives every connection.
  GTlsCertificate* const certificate_;
  GCancellable* const stopping_;
  int fd_ = -1;  // the accepted socket; owned by the server's connection bookkeeping
  bool finished_ = false;
  GObjectPtr<GSocketConnection> base_;
  GObjectPtr<GIOStream> tls_;
};

TestHttpServer::TestHttpServer(std::string root, Options options) : root_(std::move(root)), options_(options) {
  if (!options_.tlsCertificateFile.empty() || !options_.tlsKeyFile.empty()) {
    GError* rawError = nullptr;
    GObjectPtr<GTlsCertificate> certificate(g_tls_certificate_new_from_files(  // Adopt
        options_.tlsCertificateFile.c_str(), options_.tlsKeyFile.c_str(), &rawError));
    ErrorPtr error(rawError);  // Adopt
    if (!certificate) throw std::runtime_error("cannot load the TLS certificate: " + Describe(error.get()));
    tls_ = std::make_unique<TlsIdentity>();
    tls_->certificate = std::move(certificate);
    tls_->stopping.reset(g_cancellable_new());  // Adopt
  }
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
  if (tls_) g_cancellable_cancel(tls_->stopping.get());
  ::shutdown(listenFd_, SHUT_RDWR);
  acceptThread_.join();
  std::vector<Worker> connections;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    connections.swap(connections_);
  }
  for (auto& worker : connections) worker.thread.join();
  ::close(listenFd_);
}

std::string TestHttpServer::Url(const std::string& path) const {
  return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + "/" + path;
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
    std::vector<Worker> finished;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::close(fd);
      break;
    }
    const auto served = std::partition(connections_.begin(), connections_.end(),
                                       [](const Worker& worker) { return !worker.done->load(); });
    std::move(served, connections_.end(), std::back_inserter(finished));
    connections_.erase(served, connections_.end());
    for (auto& worker : finished) worker.thread.join();  // each is past its last use of the lock
    openFds_.push_back(fd);
    auto done = std::make_shared<std::atomic<bool>>(false);
    connections_.push_back(Worker{std::thread([this, fd, done] {
                                    ServeConnection(fd);
                                    std::lock_guard<std::mutex> closing(mutex_);
                                    openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
                                    ::close(fd);
                                    *done = true;
                                  }),
                                  done});
  }
}

bool TestHttpServer::Pause(std::chrono::steady_clock::duration duration) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_for(lock, duration, [this] { return stopping_.load() || stallResumed_; });
  return !stopping_;
}

void TestHttpServer::ServeConnection(int fd) {
  if (!tls_) {
    PlainConnection connection(fd, stopping_);
    Serve(connection);
    return;
  }
  TlsConnection connection(*tls_);
  if (connection.Open(fd) && Serve(connection)) connection.FinishResponse();
}

bool TestHttpServer::SendBody(Connection& connection, const std::string& body, size_t offset, size_t length) {
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
    if (!connection.SendAll(body.data() + offset + sent, chunk)) return false;
    sent += chunk;
    if (options_.bytesPerSecond > 0) {
      const auto wait = std::chrono::microseconds(chunk * 1'000'000 / options_.bytesPerSecond);
      std::unique_lock<std::mutex> lock(mutex_);
      if (wake_.wait_for(lock, wait, [this] { return stopping_.load(); })) return false;
    }
  }
  return sent == length && !cut;
}

bool TestHttpServer::Serve(Connection& connection) {
  std::string request;
  char buffer[2048];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const size_t got = connection.Receive(buffer, sizeof buffer);
    if (got == 0) return false;
    request.append(buffer, got);
    if (request.size() > 64 * 1024) return false;
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
    return connection.SendAll(notFound.data(), notFound.size());
  }
  size_t first = 0, last = body.empty() ? 0 : body.size() - 1;
  const bool ranged = options_.supportRanges && !rangeValue.empty();
  if (ranged && !ParseRange(rangeValue, body.size(), first, last)) {
    const std::string unsatisfiable = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                                      std::to_string(body.size()) + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    return connection.SendAll(unsatisfiable.data(), unsatisfiable.size());
  }
  const size_t length = body.empty() ? 0 : last - first + 1;
  std::string head = ranged ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
  head += "Content-Type: " + ContentType(path) + "\r\n";
  if (options_.supportRanges) head += "Accept-Ranges: bytes\r\n";
  if (ranged) {
    head += "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
            std::to_string(body.size()) + "\r\n";
  }
  if (options_.sendContentLength) head += "Content-Length: " + std::to_string(length) + "\r\n";
  head += "Connection: close\r\n\r\n";
  if (!connection.SendAll(head.data(), head.size())) return false;
  return SendBody(connection, body, first, length);
}

}  // namespace corvane::testing
