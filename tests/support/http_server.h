// A small HTTP/1.1 file server on 127.0.0.1 for tests that play media over
// the network: it serves the files of one folder, honours byte ranges, and
// can be made slow, stalling, or plain (no length, no ranges) to put a
// network source in the situations the engine must handle.
//
// One thread accepts, one thread serves each connection; every response
// closes its connection. The destructor stops and joins them all, also
// while a response is being throttled or stalled.
//
// Given a certificate and key, it speaks HTTPS instead (GIO's TLS server
// connection over each accepted socket, so the crypto is glib-networking's),
// with the same options; a client that rejects the certificate ends its
// connection during the handshake and gets no response.
#ifndef CORVANE_TESTS_SUPPORT_HTTP_SERVER_H_
#define CORVANE_TESTS_SUPPORT_HTTP_SERVER_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvane::testing {

class TestHttpServer {
 public:
  struct Options {
    // false: no Accept-Ranges, Range headers ignored (always 200, whole file).
    bool supportRanges = true;
    // false: no Content-Length; the body ends when the connection closes.
    bool sendContentLength = true;
    // Bytes per second for bodies; 0 sends as fast as the socket takes them.
    size_t bytesPerSecond = 0;
    // After this many body bytes of the first response that reaches them,
    // the server stops sending for `stallFor` (0: never stalls).
    size_t stallAfterBytes = 0;
    std::chrono::milliseconds stallFor{0};
    // Every response's connection is cut when its body reaches this offset
    // of the file (0: never), also for ranged requests past it: a network
    // that breaks off at the same place however often the client retries.
    size_t breakAtOffset = 0;
    // PEM files of the server's certificate (with any intermediates) and its
    // private key. Both empty: plain HTTP.
    std::string tlsCertificateFile;
    std::string tlsKeyFile;
  };

  // Serves the files below `root`. Raises std::runtime_error when it cannot
  // listen, or cannot load the TLS certificate or key.
  explicit TestHttpServer(std::string root, Options options);
  TestHttpServer(std::string root) : TestHttpServer(std::move(root), Options{}) {}
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:<port>/<path>", or "https://..." when serving TLS.
  std::string Url(const std::string& path) const;
  // Number of requests that carried a Range header (counted once the
  // request has been read, so over TLS only after a handshake succeeded).
  int RangeRequests() const { return rangeRequests_.load(); }
  int Requests() const { return requests_.load(); }

  // Ends a stall early (for tests that want the stall to be over now).
  void ResumeStall();

 private:
  class Connection;
  class PlainConnection;
  class TlsConnection;
  struct TlsIdentity;

  void AcceptLoop();
  void ServeConnection(int fd);
  // False when the response was cut short (stop, a failed write, or the
  // break option), so that a TLS connection is not closed as if complete.
  bool Serve(Connection& connection);
  bool SendBody(Connection& connection, const std::string& body, size_t offset, size_t length);
  // Sleeps up to `duration`, waking early on stop. False when stopping.
  bool Pause(std::chrono::steady_clock::duration duration);

  const std::string root_;
  const Options options_;
  // Loaded once, then only read by the connection threads; null for HTTP.
  std::unique_ptr<TlsIdentity> tls_;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::atomic<int> rangeRequests_{0};

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<int> openFds_;              // guarded by mutex_
  // A connection's thread, and whether it has served (so it can be joined
  // at the next accept: a long-lived server must not keep every finished
  // thread's stack).
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::vector<Worker> connections_;       // guarded by mutex_
  bool stallUsed_ = false;                // guarded by mutex_
  bool stallResumed_ = false;             // guarded by mutex_
  std::thread acceptThread_;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_SUPPORT_HTTP_SERVER_H_
