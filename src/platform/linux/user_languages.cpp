#include "platform/linux/user_languages.h"

#include <cstdlib>
#include <string_view>

namespace corvane::platform {
namespace {

bool IsSet(const char* value) { return value != nullptr && value[0] != '\0'; }

// "ll_CC.codeset@modifier" -> "ll-CC"; empty for the C and POSIX locales.
std::string LanguageTagOfLocaleName(std::string_view name) {
  name = name.substr(0, name.find_first_of(".@"));
  if (name == "C" || name == "POSIX") return {};
  std::string tag(name);
  for (char& c : tag) {
    if (c == '_') c = '-';
  }
  return tag;
}

}  // namespace

std::vector<std::string> UserLanguages(const char* language, const char* lcAll, const char* lcMessages,
                                       const char* lang) {
  const char* locale = IsSet(lcAll) ? lcAll : IsSet(lcMessages) ? lcMessages : IsSet(lang) ? lang : "C";
  const std::string localeTag = LanguageTagOfLocaleName(locale);

  std::vector<std::string> languages;
  if (IsSet(language) && !localeTag.empty()) {
    std::string_view list(language);
    while (true) {
      const size_t colon = list.find(':');
      std::string tag = LanguageTagOfLocaleName(list.substr(0, colon));
      if (!tag.empty()) languages.push_back(std::move(tag));
      if (colon == std::string_view::npos) break;
      list.remove_prefix(colon + 1);
    }
    if (!languages.empty()) return languages;
  }
  if (!localeTag.empty()) languages.push_back(localeTag);
  return languages;
}

std::vector<std::string> UserLanguagesFromEnvironment() {
  return UserLanguages(std::getenv("LANGUAGE"), std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                       std::getenv("LANG"));
}

}  // namespace corvane::platform
