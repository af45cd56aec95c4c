// The user's preferred languages on Linux, in order, as language tags
// ("en-US", "fr"), read the way gettext reads the environment.
//
// The locale is the first non-empty of LC_ALL, LC_MESSAGES and LANG; with
// none set it is the "C" locale. LANGUAGE, a colon-separated list, takes
// over when it is non-empty and the locale is neither C, C.* nor POSIX;
// otherwise the locale alone is the list. Each name loses its codeset
// (".UTF-8") and modifier ("@latin") and '_' becomes '-': "en_US.UTF-8"
// gives "en-US", "sr_RS@latin" gives "sr-RS". "C", "POSIX", "C.*" and empty
// names give no language, and a LANGUAGE naming none counts as unset.
// Case is kept; the track choice lower-cases.
#ifndef CORVANE_PLATFORM_LINUX_USER_LANGUAGES_H_
#define CORVANE_PLATFORM_LINUX_USER_LANGUAGES_H_

#include <string>
#include <vector>

namespace corvane::platform {

// Each argument is the variable's value, or null when it is unset.
std::vector<std::string> UserLanguages(const char* language, const char* lcAll, const char* lcMessages,
                                       const char* lang);

// UserLanguages of the process environment, read at the call.
std::vector<std::string> UserLanguagesFromEnvironment();

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_LINUX_USER_LANGUAGES_H_
