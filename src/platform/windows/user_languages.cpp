#include "platform/windows/user_languages.h"

#include <roapi.h>

#include "platform/hresult.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/hstring.h"
#include "platform/windows/utf16.h"
#include "platform/windows/winrt_abi.h"

namespace corvane::platform::windows {

using winrt::AdoptCom;
using winrt::ComRef;
using winrt::CopyHString;
using winrt::HString;
using winrt::IGlobalizationPreferencesStatics;
using winrt::IVectorViewOfHString;

namespace {

void Check(HRESULT code, const char* what) {
  if (FAILED(code)) throw hresult_error(code, what);
}

}  // namespace

std::vector<std::string> UserLanguagesFromGlobalizationPreferences() noexcept {
  std::vector<std::string> languages;
  // The factory is fetched at each read rather than kept: a read happens
  // once per opened source, and a reference kept for the process would be
  // released at unload, after the apartment that produced it has gone.
  ToHresult([&] {
    const HString name = CopyHString(winrt::kRuntimeClassGlobalizationPreferences);
    void* factory = nullptr;
    Check(RoGetActivationFactory(name.get(), IGlobalizationPreferencesStatics::kIid, &factory),
          "GlobalizationPreferences cannot be activated");
    const ComRef<IGlobalizationPreferencesStatics> statics =
        AdoptCom(static_cast<IGlobalizationPreferencesStatics*>(factory));
    ComRef<IVectorViewOfHString> list;
    Check(statics->get_Languages(list.Receive()), "GlobalizationPreferences.Languages failed");
    if (!list) return;
    uint32_t size = 0;
    Check(list->get_Size(&size), "IVectorView.Size failed");
    languages.reserve(size);
    for (uint32_t index = 0; index < size; ++index) {
      HString tag;
      Check(list->GetAt(index, tag.Receive()), "IVectorView.GetAt failed");
      languages.push_back(Utf16ToUtf8(tag.View()));
    }
  });
  // A read that fails part way keeps the languages before it: they are
  // still the user's first choices, in order.
  return languages;
}

}  // namespace corvane::platform::windows
