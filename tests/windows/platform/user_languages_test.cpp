// The user's languages through Wine's GlobalizationPreferences, which
// derives them from the Unix locale of the Wine process: en-US in the C
// locale, de-DE under LC_ALL=de_DE.UTF-8. LANG=de_DE.UTF-8 alone leaves
// en-US on a machine without that locale installed, as here.
#include "platform/windows/user_languages.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform_layer.h"
#include "windows/platform/apartment.h"

namespace corvane::test {
namespace {

using platform::windows::UserLanguagesFromGlobalizationPreferences;

// "en-US", "de": a primary subtag of two or three letters, alone or followed
// by '-' and more. Calendars ("GregorianCalendar"), clocks ("24HourClock")
// and currencies ("USD"), the neighbouring vtable slots, never fit.
bool LooksLikeLanguageTag(const std::string& tag) {
  size_t letters = 0;
  while (letters < tag.size() && std::isalpha(static_cast<unsigned char>(tag[letters]))) ++letters;
  return letters >= 2 && letters <= 3 && (letters == tag.size() || (tag[letters] == '-' && letters + 1 < tag.size()));
}

TEST(UserLanguages, AreLanguageTags) {
  ScopedApartment apartment;
  ASSERT_TRUE(SUCCEEDED(apartment.result()));
  const std::vector<std::string> languages = platform::SystemPlatformLayer().UserLanguages();
  ASSERT_FALSE(languages.empty());
  for (const std::string& tag : languages) EXPECT_TRUE(LooksLikeLanguageTag(tag)) << tag;
}

// Run by ctest a second time with a German locale and
// CORVANE_EXPECTED_FIRST_LANGUAGE=de-DE (see CMakeLists.txt); skipped when
// that is not set.
TEST(UserLanguages, FollowTheProcessLocale) {
  const char* expected = std::getenv("CORVANE_EXPECTED_FIRST_LANGUAGE");
  if (expected == nullptr) GTEST_SKIP() << "CORVANE_EXPECTED_FIRST_LANGUAGE not set";
  ScopedApartment apartment;
  ASSERT_TRUE(SUCCEEDED(apartment.result()));
  const std::vector<std::string> languages = UserLanguagesFromGlobalizationPreferences();
  ASSERT_FALSE(languages.empty());
  EXPECT_EQ(expected, languages.front());
}

}  // namespace
}  // namespace corvane::test
