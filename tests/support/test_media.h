// Where the tests find the generated media (scripts/make-test-media.sh, run
// by the `test_media` build target).
//
// The folder is $CORVANE_TEST_MEDIA when set and non-empty, else the build's
// media folder when the test links `corvane_test_media`, else "media"
// relative to the working directory (ctest runs tests from the build
// directory, where the target writes it).
//
//   const std::string path = TestMediaPath("red_blue.mp4");
//   if (path.empty()) GTEST_SKIP() << "test media missing: red_blue.mp4";
// or simply
//   CORVANE_REQUIRE_MEDIA(path, "red_blue.mp4");
#ifndef CORVANE_TESTS_SUPPORT_TEST_MEDIA_H_
#define CORVANE_TESTS_SUPPORT_TEST_MEDIA_H_

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace corvane::testing {

inline std::string TestMediaDir() {
  if (const char* fromEnvironment = std::getenv("CORVANE_TEST_MEDIA"); fromEnvironment && *fromEnvironment) {
    return fromEnvironment;
  }
#ifdef CORVANE_TEST_MEDIA_DEFAULT
  return CORVANE_TEST_MEDIA_DEFAULT;
#else
  return "media";
#endif
}

// The absolute or relative path of a generated file or folder, or "" when it
// has not been generated.
inline std::string TestMediaPath(const char* name) {
  const std::string path = TestMediaDir() + "/" + name;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? path : std::string();
}

}  // namespace corvane::testing

// Declares `var` as the path of the media file `name`, or skips the test
// with the file's name when it is missing.
#define CORVANE_REQUIRE_MEDIA(var, name)                                                        \
  const std::string var = ::corvane::testing::TestMediaPath(name);                            \
  if ((var).empty()) {                                                                          \
    GTEST_SKIP() << "test media missing: " << (name) << " (build the test_media target or set " \
                 << "CORVANE_TEST_MEDIA)";                                                      \
  }

#endif  // CORVANE_TESTS_SUPPORT_TEST_MEDIA_H_
