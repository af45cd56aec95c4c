// The stand-in Windows Runtime string off Windows: an HSTRING points to a
// heap block holding the UTF-8 text. Null is the empty string, as on Windows.
#include <memory>
#include <string>

#include "platform/windows/winrt_string.h"

namespace corvane::platform::winrt {

struct HStringHandle {
  std::string utf8;
};

HRESULT WindowsDeleteString(HSTRING text) {
  std::unique_ptr<HStringHandle> owned(text);
  return kOk;
}

HString MakeHString(std::string_view utf8) {
  if (utf8.empty()) return HString();
  return AdoptHString(std::make_unique<HStringHandle>(HStringHandle{std::string(utf8)}).release());
}

std::string ReadHString(HSTRING text) { return text ? text->utf8 : std::string(); }

}  // namespace corvane::platform::winrt
