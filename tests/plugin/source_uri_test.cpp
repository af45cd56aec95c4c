// The source string of "open" to the URI the engine opens.
#include "player/source_uri.h"

#include <gtest/gtest.h>

namespace corvane::player {
namespace {

const SourceLocation kWindows{R"(C:\Apps\Demo\demo.exe)", R"(C:\Work)", PathStyle::Windows};
const SourceLocation kLinux{"/opt/demo/bin/demo", "/home/u/work", PathStyle::Posix};

struct Row {
  const char* name;
  const char* input;
  const char* uri;
  bool remote;
};

void ExpectRows(const SourceLocation& location, const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    const ResolvedSource resolved = ResolveSourceUri(row.input, location);
    EXPECT_EQ(resolved.uri, row.uri) << row.name;
    EXPECT_EQ(resolved.isRemote, row.remote) << row.name;
  }
}

TEST(SourceUri, ResolvesTheWindowsForms) {
  ExpectRows(kWindows, {
      {"asset", "asset://assets/intro.mp4", "file://C:/Apps/Demo/data/flutter_assets/assets/intro.mp4", false},
      {"asset with empty key", "asset://", "file://C:/Apps/Demo/data/flutter_assets/", false},
      {"asset key with backslashes", R"(asset://a\b.mp4)", "file://C:/Apps/Demo/data/flutter_assets/a/b.mp4", false},
      {"URL of another scheme", "x://a/b.m3u8", "x://a/b.m3u8", true},
      {"URL keeps backslashes", R"(x://a\b)", R"(x://a\b)", true},
      {"file URL", "file:///C:/Videos/a.mp4", "file:///C:/Videos/a.mp4", false},
      {"drive path", R"(C:\Videos\a.mp4)", "file://C:/Videos/a.mp4", false},
      {"drive path with forward slashes", "C:/Videos/a.mp4", "file://C:/Videos/a.mp4", false},
      {"shortest URL", "a://", "a://", true},
      {"two bytes are a path", "ab", "file://ab", false},
      // Prefixes compare case-sensitively.
      {"upper-case asset prefix is a URL", "ASSET://x", "ASSET://x", true},
      {"upper-case file prefix is remote", "FILE://C:/a.mp4", "FILE://C:/a.mp4", true},
  });
}

TEST(SourceUri, ResolvesTheLinuxForms) {
  ExpectRows(kLinux, {
      {"absolute path", "/home/u/a.mp4", "file:///home/u/a.mp4", false},
      {"relative path joins the working directory", "videos/a.mp4", "file:///home/u/work/videos/a.mp4", false},
      {"asset beside the executable", "asset://assets/intro.mp4",
       "file:///opt/demo/bin/data/flutter_assets/assets/intro.mp4", false},
      {"http URL", "http://127.0.0.1:8080/a.mp4", "http://127.0.0.1:8080/a.mp4", true},
      {"non-ASCII key stays UTF-8", "asset://vid\xc3\xa9o.mp4",
       "file:///opt/demo/bin/data/flutter_assets/vid\xc3\xa9o.mp4", false},
      {"asset key backslashes are folders here too", R"(asset://clips\a.mp4)",
       "file:///opt/demo/bin/data/flutter_assets/clips/a.mp4", false},
      {"a local path keeps its backslashes", R"(/m/a\b.mp4)", R"(file:///m/a\b.mp4)", false},
      {"a byte that is not UTF-8 is encoded", "/m/caf\xE9 \xC3\xA9.mp4", "file:///m/caf%E9%20\xC3\xA9.mp4", false},
  });
}

TEST(SourceUri, PercentEncodesCharactersThatWouldCutAPath) {
  ExpectRows(kLinux, {
      {"space, hash, query and percent in a path", "/m/a b#1?x%.mp4", "file:///m/a%20b%231%3Fx%25.mp4", false},
      {"the same in an asset key", "asset://a b#?%.mp4",
       "file:///opt/demo/bin/data/flutter_assets/a%20b%23%3F%25.mp4", false},
      {"URLs are passed on untouched", "http://h/a b?q=1#f", "http://h/a b?q=1#f", true},
  });
  ExpectRows(kWindows, {
      {"Windows path with a space", R"(C:\My Videos\a#1.mp4)", "file://C:/My%20Videos/a%231.mp4", false},
  });
  ExpectRows({R"(C:\Program Files\Demo\demo.exe)", "", PathStyle::Windows}, {
      {"executable folder with a space", "asset://a.mp4",
       "file://C:/Program%20Files/Demo/data/flutter_assets/a.mp4", false},
  });
}

}  // namespace
}  // namespace corvane::player
