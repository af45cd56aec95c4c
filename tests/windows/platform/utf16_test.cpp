// UTF-8 and UTF-16 through the system converters, and the debug line as it
// reaches the debugger channel.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/debug_log.h"
#include "platform/hresult.h"
#include "platform/system_debug_output.h"
#include "platform/windows/system_debug_line.h"
#include "platform/windows/utf16.h"

namespace corvane::test {
namespace {

using platform::windows::kSystemDebugLineCapacity;
using platform::windows::SystemDebugLine;
using platform::windows::Utf16ToUtf8;
using platform::windows::Utf8ToUtf16;

TEST(Utf16, RoundTripsEveryPlane_AndKeepsEmbeddedNuls) {
  struct Row {
    const char* name;
    std::string utf8;
    std::wstring utf16;
  };
  const Row rows[] = {
      {"empty", "", L""},
      {"ASCII path", "C:\\Videos\\a.mp4", L"C:\\Videos\\a.mp4"},
      {"two-byte letters", "vid\xC3\xA9o", L"vid\u00E9o"},
      {"three-byte letters", "\xE5\x8B\x95\xE7\x94\xBB", L"\u52D5\u753B"},
      {"four-byte letter as a surrogate pair", "\xF0\x9F\x8E\xAC", std::wstring{wchar_t(0xD83C), wchar_t(0xDFAC)}},
      {"embedded NUL", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.utf16, Utf8ToUtf16(row.utf8));
    EXPECT_EQ(row.utf8, Utf16ToUtf8(row.utf16));
  }
}

TEST(Utf16, MalformedInput_BecomesReplacementCharacters) {
  // A stray continuation byte, an invalid byte and a sequence cut short.
  EXPECT_EQ((std::wstring{L'a', 0xFFFD, L'b', 0xFFFD, L'c', 0xFFFD}), Utf8ToUtf16("a\x80" "b\xFF" "c\xE2\x82"));
  // Unpaired surrogates, high and low.
  EXPECT_EQ("a\xEF\xBF\xBD" "b\xEF\xBF\xBD", Utf16ToUtf8(std::wstring{L'a', wchar_t(0xD800), L'b', wchar_t(0xDC00)}));
}

TEST(SystemDebugLine, ShortLine_IsConvertedWhole) {
  EXPECT_EQ(L"CorvanePlugin: Setting media source to: vid\u00E9o.mp4\n",
            SystemDebugLine("CorvanePlugin: Setting media source to: vid\xC3\xA9o.mp4\n"));
  const std::string fits(kSystemDebugLineCapacity - 2, 'x');
  EXPECT_EQ(Utf8ToUtf16(fits + "\n"), SystemDebugLine(fits + "\n"));
}

TEST(SystemDebugLine, LongLine_IsCutTo255Characters_AndEndsWithALineFeed) {
  const std::string path(1000, 'p');
  const std::wstring line = SystemDebugLine("CorvanePlugin: Setting media source to: " + path + "\n");
  ASSERT_EQ(kSystemDebugLineCapacity - 1, line.size());
  EXPECT_EQ(L'\n', line.back());
  EXPECT_EQ(L"CorvanePlugin: Setting media source to: ppp", line.substr(0, 43));
  EXPECT_EQ(L'p', line[line.size() - 2]);

  // Three-byte letters: the cut counts UTF-16 characters, not bytes.
  std::string cjk;
  for (int i = 0; i < 400; ++i) cjk += "\xE5\x8B\x95";
  const std::wstring cut = SystemDebugLine(cjk);
  ASSERT_EQ(kSystemDebugLineCapacity - 1, cut.size());
  EXPECT_EQ(std::wstring(kSystemDebugLineCapacity - 2, wchar_t(0x52D5)) + L"\n", cut);
}

TEST(SystemDebugLine, Cut_NeverSplitsASurrogatePair) {
  // 253 ASCII letters, then four-byte letters: a pair would straddle the
  // 254th and 255th characters, so the cut comes before it.
  std::string line(253, 'a');
  for (int i = 0; i < 10; ++i) line += "\xF0\x9F\x8E\xAC";
  const std::wstring cut = SystemDebugLine(line);
  EXPECT_EQ(std::wstring(253, L'a') + L"\n", cut);
}

// The line as the debugger channel receives it. Windows 10 raises the wide
// debug-print exception (DBG_PRINTEXCEPTION_WIDE_C), Wine 8 the narrow one
// (DBG_PRINTEXCEPTION_C); each carries the length with its terminator and
// the text. Continuing execution is what a debugger that has read the line
// does.
class DebuggerChannel : public ::testing::Test {
 protected:
  void SetUp() override {
    captured_.clear();
    handler_ = AddVectoredExceptionHandler(1, &Capture);
    ASSERT_NE(nullptr, handler_);
  }
  void TearDown() override { RemoveVectoredExceptionHandler(handler_); }

  static LONG CALLBACK Capture(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    constexpr DWORD kNarrowPrint = 0x40010006;
    constexpr DWORD kWidePrint = 0x4001000A;
    if (record.NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
    const size_t length = static_cast<size_t>(record.ExceptionInformation[0]);
    if (record.ExceptionCode == kWidePrint) {
      captured_.assign(reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]), length);
    } else if (record.ExceptionCode == kNarrowPrint) {
      const auto* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
      captured_.assign(text, text + length);
    } else {
      return EXCEPTION_CONTINUE_SEARCH;
    }
    if (!captured_.empty() && captured_.back() == L'\0') captured_.pop_back();
    return EXCEPTION_CONTINUE_EXECUTION;
  }

  static std::wstring captured_;
  PVOID handler_ = nullptr;
};

std::wstring DebuggerChannel::captured_;

TEST_F(DebuggerChannel, EveryDebugLogLine_ArrivesAsOneLine_CutToTheBuffer) {
  platform::DebugLog("CorvanePlugin: Initializing global resources\n");
  EXPECT_EQ(L"CorvanePlugin: Initializing global resources\n", captured_);

  platform::WriteSystemDebugLine(("CorvanePlugin: Setting media source to: " + std::string(600, 'q') + "\n").c_str());
  ASSERT_EQ(kSystemDebugLineCapacity - 1, captured_.size());
  EXPECT_EQ(L'\n', captured_.back());
}

}  // namespace
}  // namespace corvane::test
