// The declarations against a real Windows Runtime implementation: Wine's.
// Wine registers GlobalizationPreferences (not the media or dispatcher
// classes), which is enough to call IGlobalizationPreferencesStatics and
// IVectorView<HSTRING> through our vtables and IIDs, and to use HString on
// the system's strings. Windows builds only.
#include <gtest/gtest.h>
#include <roapi.h>

#include <string>
#include <string_view>

#include "platform/hresult.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/hstring.h"
#include "platform/windows/winrt_abi.h"

namespace corvane::test {
namespace {

using namespace platform::winrt;

TEST(WindowsSdk, AgreesWithOurUnknownAndAgileObjectIids) {
  // The stand-in definitions used off Windows must be the SDK's values.
  EXPECT_TRUE(SameGuid(kIidUnknown, __uuidof(IUnknown)));
  EXPECT_TRUE(SameGuid(kIidAgileObject, __uuidof(IAgileObject)));
}

TEST(HString, CopiesText_AndMovesOwnership) {
  HString text = CopyHString(L"de-CH");
  EXPECT_EQ(L"de-CH", text.View());
  HSTRING handle = text.get();
  HString moved = std::move(text);
  EXPECT_EQ(nullptr, text.get());
  EXPECT_EQ(handle, moved.get());
  EXPECT_EQ(L"de-CH", moved.View());

  // The null handle is the empty string.
  EXPECT_EQ(nullptr, CopyHString(L"").get());
  EXPECT_EQ(L"", HString().View());
}

class GlobalizationPreferences : public ::testing::Test {
 protected:
  void SetUp() override {
    const HRESULT init = RoInitialize(RO_INIT_MULTITHREADED);
    ASSERT_GE(init, 0) << std::hex << init;
    initialized_ = true;
    HString name = CopyHString(kRuntimeClassGlobalizationPreferences);
    void* factory = nullptr;
    // Fails with E_NOINTERFACE if the IID were wrong.
    const HRESULT code = RoGetActivationFactory(name.get(), IGlobalizationPreferencesStatics::kIid, &factory);
    ASSERT_GE(code, 0) << std::hex << code;
    statics_ = AdoptCom(static_cast<IGlobalizationPreferencesStatics*>(factory));
  }
  void TearDown() override {
    statics_.Reset();
    if (initialized_) RoUninitialize();
  }

  bool initialized_ = false;
  ComRef<IGlobalizationPreferencesStatics> statics_;
};

// "en-US", "de": a primary subtag of two or three lower-case letters, then
// nothing or a '-'. What the neighbouring slots return never fits: calendars
// ("GregorianCalendar"), clocks ("24HourClock"), currencies ("USD").
bool LooksLikeLanguageTag(std::wstring_view tag) {
  size_t letters = 0;
  while (letters < tag.size() && tag[letters] >= L'a' && tag[letters] <= L'z') ++letters;
  return letters >= 2 && letters <= 3 && (letters == tag.size() || tag[letters] == L'-');
}

// Wine derives the list from the Unix locale (en-US where none is
// installed). Every IVectorView slot is used, and each must agree.
TEST_F(GlobalizationPreferences, Languages_AreLanguageTags_ThroughEveryVectorViewSlot) {
  ComRef<IVectorViewOfHString> languages;
  ASSERT_GE(statics_->get_Languages(languages.Receive()), 0);
  ASSERT_TRUE(languages);

  uint32_t size = 0;
  ASSERT_GE(languages->get_Size(&size), 0);
  ASSERT_GE(size, 1u);

  HString first;
  ASSERT_GE(languages->GetAt(0, first.Receive()), 0);
  EXPECT_TRUE(LooksLikeLanguageTag(first.View())) << std::string(first.View().begin(), first.View().end());

  uint32_t index = 99;
  boolean found = 0;
  ASSERT_GE(languages->IndexOf(first.get(), &index, &found), 0);
  EXPECT_EQ(1, found);
  EXPECT_EQ(0u, index);

  HSTRING many[1] = {};
  uint32_t actual = 0;
  ASSERT_GE(languages->GetMany(0, 1, many, &actual), 0);
  ASSERT_EQ(1u, actual);
  EXPECT_EQ(first.View(), AdoptHString(many[0]).View());
}

}  // namespace
}  // namespace corvane::test
