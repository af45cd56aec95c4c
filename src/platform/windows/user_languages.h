// The user's preferred languages on Windows, from
// Windows.System.UserProfile.GlobalizationPreferences.Languages.
#ifndef CORVANE_PLATFORM_WINDOWS_USER_LANGUAGES_H_
#define CORVANE_PLATFORM_WINDOWS_USER_LANGUAGES_H_

#include <string>
#include <vector>

namespace corvane::platform::windows {

// BCP-47 tags as UTF-8, most preferred first, case as the system gives it
// (the track choice lower-cases). Empty when the list cannot be read: the
// class cannot be activated (no Windows Runtime, or a thread without an
// apartment) or the list cannot be had; then no language is preferred and
// the track choice takes its defaults. A read that fails part way gives
// the languages before it. Never raises. Any thread in an initialised
// apartment; the plugin calls it on its platform thread.
std::vector<std::string> UserLanguagesFromGlobalizationPreferences() noexcept;

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_USER_LANGUAGES_H_
