#include "platform/linux/user_languages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <ostream>

namespace corvane::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct EnvironmentRow {
  const char* name;
  const char* language;
  const char* lcAll;
  const char* lcMessages;
  const char* lang;
  std::vector<std::string> expected;
};
void PrintTo(const EnvironmentRow& row, std::ostream* os) { *os << row.name; }

class UserLanguagesTable : public ::testing::TestWithParam<EnvironmentRow> {};

TEST_P(UserLanguagesTable, ReadsLanguagesAsTags) {
  const EnvironmentRow& row = GetParam();
  EXPECT_EQ(UserLanguages(row.language, row.lcAll, row.lcMessages, row.lang), row.expected);
}

using L = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Environment, UserLanguagesTable,
    ::testing::Values(
        EnvironmentRow{"CodesetDropped", nullptr, nullptr, nullptr, "en_US.UTF-8", L{"en-US"}},
        EnvironmentRow{"ModifierDropped", nullptr, nullptr, nullptr, "sr_RS@latin", L{"sr-RS"}},
        EnvironmentRow{"CodesetAndModifierDropped", nullptr, nullptr, nullptr, "de_DE.ISO-8859-15@euro", L{"de-DE"}},
        EnvironmentRow{"LanguageOnly", nullptr, nullptr, nullptr, "fr", L{"fr"}},
        EnvironmentRow{"CaseKept", nullptr, nullptr, nullptr, "EN_us", L{"EN-us"}},
        EnvironmentRow{"LanguageListWins", "fr_FR:en:pt_BR.UTF-8", nullptr, nullptr, "de_DE.UTF-8",
                       L{"fr-FR", "en", "pt-BR"}},
        EnvironmentRow{"LanguageListSkipsEmptyAndC", ":fr::C:POSIX:en:", nullptr, nullptr, "de_DE", L{"fr", "en"}},
        EnvironmentRow{"LanguageListNamingNothingUsesLocale", "::C", nullptr, nullptr, "de_DE", L{"de-DE"}},
        EnvironmentRow{"EmptyLanguageUsesLocale", "", nullptr, nullptr, "de_DE.UTF-8", L{"de-DE"}},
        EnvironmentRow{"LanguageIgnoredUnderC", "fr", nullptr, nullptr, "C", L{}},
        EnvironmentRow{"LanguageIgnoredUnderCUtf8", "fr", nullptr, nullptr, "C.UTF-8", L{}},
        EnvironmentRow{"LanguageIgnoredUnderPosix", "fr", nullptr, nullptr, "POSIX", L{}},
        EnvironmentRow{"LanguageIgnoredWithoutLocale", "fr", nullptr, nullptr, nullptr, L{}},
        EnvironmentRow{"LcAllBeatsTheOthers", nullptr, "it_IT", "es_ES", "de_DE", L{"it-IT"}},
        EnvironmentRow{"LcMessagesBeatsLang", nullptr, nullptr, "es_ES", "de_DE", L{"es-ES"}},
        EnvironmentRow{"EmptyValueCountsAsUnset", nullptr, "", "", "de_DE", L{"de-DE"}},
        EnvironmentRow{"LcAllCSilencesLang", "fr", "C", nullptr, "de_DE", L{}},
        EnvironmentRow{"NothingSet", nullptr, nullptr, nullptr, nullptr, L{}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UserLanguagesFromEnvironment, ReadsTheProcessEnvironment) {
  // The only test of this binary that reads the environment.
  setenv("LANGUAGE", "fr_CA:en", 1);
  setenv("LC_ALL", "", 1);
  setenv("LC_MESSAGES", "", 1);
  setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_THAT(UserLanguagesFromEnvironment(), ElementsAre("fr-CA", "en"));
  setenv("LC_MESSAGES", "C.UTF-8", 1);
  EXPECT_THAT(UserLanguagesFromEnvironment(), IsEmpty());
}

}  // namespace
}  // namespace corvane::platform
