// HTTPS sources from a local TLS server: a server whose certificate chains to
// the test CA plays, seeks and serves ranges, and a body without a length
// ends with its connection; one whose certificate nobody trusts, or whose
// connection breaks off, fails as a network error.
//
// The test process trusts the throwaway CA (build/media/tls, made by
// scripts/make-test-media.sh) by making it GIO's default TLS database. On
// GStreamer 1.22 with libsoup 3, souphttpsrc verifies against that default
// whenever its own tls-database and ssl-ca-file are unset, which is how the
// engine leaves them; the system's trust store and the engine's strict
// checking stay as they are.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include "engine/player_probe.h"
#include "platform/gst/gst_handles.h"
#include "support/http_server.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;
using platform::AdoptObject;
using platform::ErrorPtr;
using platform::GObjectPtr;

constexpr int64_t kTicksPerSecond = 10'000'000;

// Makes the CA in `caFile` the process's default TLS anchors while alive and
// puts the previous default back afterwards.
class TrustedTestAuthority {
 public:
  explicit TrustedTestAuthority(const std::string& caFile) {
    GTlsBackend* backend = g_tls_backend_get_default();  // not a new reference
    GError* rawError = nullptr;
    GObjectPtr<GTlsDatabase> database = AdoptObject(g_tls_file_database_new(caFile.c_str(), &rawError));
    ErrorPtr error(rawError);  // Adopt
    if (!database) {
      failure_ = error ? std::string(error->message) : "cannot read " + caFile;
      return;
    }
    previous_ = AdoptObject(g_tls_backend_get_default_database(backend));
    g_tls_backend_set_default_database(backend, database.get());
    installed_ = true;
  }
  ~TrustedTestAuthority() {
    if (installed_) g_tls_backend_set_default_database(g_tls_backend_get_default(), previous_.get());
  }
  TrustedTestAuthority(const TrustedTestAuthority&) = delete;
  TrustedTestAuthority& operator=(const TrustedTestAuthority&) = delete;

  // Empty when the CA is trusted.
  const std::string& Failure() const { return failure_; }

 private:
  GObjectPtr<GTlsDatabase> previous_;
  bool installed_ = false;
  std::string failure_;
};

class EngineHttps : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // GIO runs every blocking TLS handshake, the engine's and the server's,
    // on GLib's shared thread pool, which lets surplus idle threads exit at
    // any moment. A thread that used GnuTLS exiting while LeakSanitizer
    // scans the threads at process exit crashes the scan ("Tracer caught
    // signal 11"; nearly every run of this whole suite in the ASan build).
    // Keeping idle pool threads for the process's life leaves few such
    // exits, and costs a test process nothing.
    g_thread_pool_set_max_unused_threads(-1);
    g_thread_pool_set_max_idle_time(0);
    const std::string tls = TestMediaPath("tls");
    if (tls.empty()) return;
    // GTlsFileDatabase wants an absolute path.
    const platform::GCharPtr absolute(g_canonicalize_filename((tls + "/ca.pem").c_str(), nullptr));  // Adopt
    authority_ = std::make_unique<TrustedTestAuthority>(absolute.get());
  }
  static void TearDownTestSuite() { authority_.reset(); }

  void SetUp() override {
    CORVANE_REQUIRE_PLAYBACK_ELEMENTS();
    const std::string missing = MissingElement({"souphttpsrc", "queue2"});
    if (!missing.empty()) GTEST_SKIP() << "GStreamer element missing: " << missing;
    if (!g_tls_backend_supports_tls(g_tls_backend_get_default())) {
      GTEST_SKIP() << "GIO has no TLS backend (glib-networking is not installed)";
    }
    tlsDir_ = TestMediaPath("tls");
    if (tlsDir_.empty()) GTEST_SKIP() << "test media missing: tls (build the test_media target)";
    ASSERT_NE(authority_, nullptr);
    ASSERT_EQ(authority_->Failure(), "") << "the test CA could not be trusted";
  }

  TestHttpServer::Options Serving(const char* certificate) const {
    TestHttpServer::Options options;
    options.tlsCertificateFile = tlsDir_ + "/" + certificate + ".pem";
    options.tlsKeyFile = tlsDir_ + "/" + certificate + ".key";
    return options;
  }
  static TimeSpan Seconds(double seconds) { return TimeSpan(static_cast<int64_t>(seconds * kTicksPerSecond)); }

  std::string tlsDir_;

 private:
  // Test suite set-up and tear-down only (the test thread).
  static std::unique_ptr<TrustedTestAuthority> authority_;
};

std::unique_ptr<TrustedTestAuthority> EngineHttps::authority_;

TEST_F(EngineHttps, Open_PlaysPastOneSecond_AndSeeks_WhenTheCertificateIsTrusted) {
  CORVANE_REQUIRE_MEDIA(path, "h264_aac.mp4");
  TestHttpServer server(TestMediaDir(), Serving("server"));
  ASSERT_EQ(server.Url("h264_aac.mp4").rfind("https://127.0.0.1:", 0), 0u);
  PlayerProbe probe;
  probe.Open(server.Url("h264_aac.mp4"));
  ASSERT_TRUE(probe.WaitFor([&] { return probe.Count("MediaOpened") + probe.Count("MediaFailed") > 0; }, 15s));
  ASSERT_EQ(probe.Count("MediaFailed"), 0) << "the engine refused a certificate that chains to the trusted CA";
  EXPECT_NEAR(probe.Session().NaturalDuration().count(), Seconds(3).count(), Seconds(0.1).count());
  EXPECT_TRUE(probe.WaitForEvent("VideoFrameAvailable", 1, 5s)) << "the first frame came over TLS and decoded";

  probe.Player().Play();
  ASSERT_TRUE(probe.WaitFor([&] { return probe.Session().Position() > Seconds(1); }, 8s));
  const int framesBeforeSeek = probe.Count("VideoFrameAvailable");
  EXPECT_GE(framesBeforeSeek, 2);

  probe.Session().Position(Seconds(2));
  ASSERT_TRUE(probe.WaitForEvent("SeekCompleted", 1, 8s));
  EXPECT_GE(probe.Session().Position(), Seconds(1.9));
  EXPECT_TRUE(probe.WaitForEvent("VideoFrameAvailable", framesBeforeSeek + 1, 5s)) << "frames go on after the seek";
  EXPECT_EQ(probe.Count("MediaFailed"), 0);
}

TEST_F(EngineHttps, Seek_AheadOfTheDownload_FetchesTheRestWithARangeRequest) {
  CORVANE_REQUIRE_MEDIA(path, "long.mp4");
  TestHttpServer::Options slow = Serving("server");
  slow.bytesPerSecond = 40 * 1024;  // the 20 s clip takes about 9 s to arrive whole
  TestHttpServer server(TestMediaDir(), slow);
  PlayerProbe probe;
  probe.Open(server.Url("long.mp4"));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 15s));
  ASSERT_EQ(server.RangeRequests(), 0) << "nothing asked for a range before the seek";

  probe.Session().Position(Seconds(16));
  ASSERT_TRUE(probe.WaitForEvent("SeekCompleted", 1, 10s));
  EXPECT_GE(server.RangeRequests(), 1) << "the seek reopened the TLS connection at an offset";
  const TimeSpan landed = probe.Session().Position();
  EXPECT_GE(landed, Seconds(15));
  probe.Player().Play();
  EXPECT_TRUE(probe.WaitFor([&] { return probe.Session().Position() > landed + Seconds(1); }, 8s))
      << "playback goes on from the new offset";
  EXPECT_EQ(probe.Count("MediaFailed"), 0);
}

TEST_F(EngineHttps, Playback_ReachesTheEnd_WhenTheBodyEndsWithTheTlsClose) {
  CORVANE_REQUIRE_MEDIA(segment, "hls/v0_000.ts");
  TestHttpServer::Options unsized = Serving("server");
  unsized.supportRanges = false;
  unsized.sendContentLength = false;  // the body ends where the TLS connection does
  TestHttpServer server(TestMediaDir(), unsized);
  PlayerProbe probe;
  probe.Open(server.Url("hls/v0_000.ts"));
  probe.OnEvent("MediaOpened", [&] { probe.Player().Play(); });
  ASSERT_TRUE(probe.WaitFor([&] { return probe.Count("MediaEnded") + probe.Count("MediaFailed") > 0; }, 10s));
  EXPECT_EQ(probe.Count("MediaFailed"), 0);
  EXPECT_EQ(probe.Count("MediaEnded"), 1);
  EXPECT_GE(probe.Count("VideoFrameAvailable"), 2);
}

TEST_F(EngineHttps, Open_ReportsNetworkError_WhenTheCertificateIsUntrusted) {
  CORVANE_REQUIRE_MEDIA(path, "h264_aac.mp4");
  TestHttpServer server(TestMediaDir(), Serving("untrusted"));
  PlayerProbe probe;
  probe.Open(server.Url("h264_aac.mp4"));
  ASSERT_TRUE(probe.WaitForEvent("MediaFailed", 1, 15s));
  EXPECT_EQ(probe.LastError(), MediaPlayerError::NetworkError);
  EXPECT_EQ(probe.Count("MediaOpened"), 0);
  EXPECT_EQ(server.Requests(), 0) << "the client gave up in the handshake and never sent its request";
}

TEST_F(EngineHttps, Playback_ReportsNetworkError_WhenTheTlsConnectionKeepsBreakingOff) {
  CORVANE_REQUIRE_MEDIA(path, "long.mp4");
  TestHttpServer::Options breaking = Serving("server");
  breaking.bytesPerSecond = 200 * 1024;
  breaking.breakAtOffset = 120 * 1024;  // the index and a few seconds, then never more
  TestHttpServer server(TestMediaDir(), breaking);
  PlayerProbe probe;
  probe.Open(server.Url("long.mp4"));
  probe.OnEvent("MediaOpened", [&] { probe.Player().Play(); });
  ASSERT_TRUE(probe.WaitForEvent("MediaFailed", 1, 30s));
  EXPECT_EQ(probe.LastError(), MediaPlayerError::NetworkError);
  EXPECT_EQ(probe.Count("MediaOpened"), 1) << "the index comes first: it fails while playing";
}

}  // namespace
}  // namespace corvane::testing
