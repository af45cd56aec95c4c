// The vtable slot of every declared method, and the IID of every declared
// interface, against WINDOWS-ABI.md table A. A method in the wrong slot calls
// a different method with the wrong arguments on real Windows, and Wine has
// none of these classes, so nothing else would notice.
//
// How a slot is observed: a stand-in object whose first word points to an
// array of thunks, thunk N recording N, is called through the interface the
// way adapter code calls it (virtual dispatch reads the object's first word
// and calls entry N). The thunks take only the object pointer and ignore the
// method's other arguments. Calling a function through a pointer of another
// type is undefined in C++, but under both x64 calling conventions (System V
// and Windows) the object pointer travels in the first argument register,
// the caller owns the argument area, and every method here returns a 32-bit
// integer in the same register, so the thunk sees the right object whatever
// the declared arguments. That restricts this test to x64.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "pinterface_iid.h"
#include "platform/windows/winrt_abi.h"

static_assert(sizeof(void*) == 8, "the slot recorder relies on the x64 calling conventions");

namespace corvane::test {
namespace {

namespace winrt = platform::winrt;

struct SlotRecorder;
using Thunk = winrt::HRESULT(CORVANE_WINRT_CALL*)(SlotRecorder*);

// Layout stands in for an object with a vtable: the vtable pointer first.
struct SlotRecorder {
  const Thunk* vtable;
  int slot;
};

template <int N>
winrt::HRESULT CORVANE_WINRT_CALL RecordSlot(SlotRecorder* self) {
  self->slot = N;
  return 0;
}

constexpr int kSlotCount = 64;

template <int... N>
constexpr std::array<Thunk, sizeof...(N)> MakeThunks(std::integer_sequence<int, N...>) {
  return {&RecordSlot<N>...};
}
constexpr std::array<Thunk, kSlotCount> kThunks = MakeThunks(std::make_integer_sequence<int, kSlotCount>());

// UndefinedBehaviorSanitizer's vptr check (part of -fsanitize=undefined in
// GCC and clang) rightly finds no Interface object behind the stand-in.
#if defined(__GNUC__) || defined(__clang__)
#define CORVANE_NO_SANITIZE_VPTR __attribute__((no_sanitize("vptr")))
#else
#define CORVANE_NO_SANITIZE_VPTR
#endif

// Calls `method` on a recorder with zero-valued arguments and returns the
// slot that ran. The calling convention is left out of the member pointer
// type: x64 has one.
template <typename Interface, typename Result, typename... Args>
CORVANE_NO_SANITIZE_VPTR int SlotOf(Result (Interface::*method)(Args...)) {
  SlotRecorder recorder{nullptr, -1};
  // The vtable pointer is written as bytes: a byte store may alias anything,
  // including the compiler's read of the vtable pointer in the call below.
  // A plain store of a Thunk* does not, and GCC at -O2 was seen moving the
  // read above it.
  const Thunk* vtable = kThunks.data();
  std::memcpy(&recorder.vtable, &vtable, sizeof vtable);
  // Through a volatile pointer, so the compiler cannot reason about the
  // object behind it and must dispatch through its first word.
  Interface* volatile target = reinterpret_cast<Interface*>(&recorder);
  (target->*method)(std::remove_cv_t<std::remove_reference_t<Args>>{}...);
  return recorder.slot;
}

struct Probe {
  std::string method;
  int slot;
};
#define CORVANE_PROBE(Interface, Method) \
  Probe { #Method, SlotOf(&Interface::Method) }

// What the declarations say: name as in the fact table, IID, observed slots.
struct Declared {
  std::string name;
  std::optional<GUID> iid;
  std::vector<Probe> probes;
};

std::vector<Declared> DeclaredInterfaces() {
  using namespace winrt;
  return {
      {"IUnknown",
       std::nullopt,
       {// mingw's IUnknown adds a non-virtual QueryInterface template, so the
        // virtual one is picked by its parameter types.
        Probe{"QueryInterface", SlotOf<IUnknown, HRESULT, const GUID&, void**>(&IUnknown::QueryInterface)},
        CORVANE_PROBE(IUnknown, AddRef), CORVANE_PROBE(IUnknown, Release)}},
      {"IInspectable",
       std::nullopt,
       {CORVANE_PROBE(IInspectable, GetIids), CORVANE_PROBE(IInspectable, GetRuntimeClassName),
        CORVANE_PROBE(IInspectable, GetTrustLevel)}},
      {"IAsyncAction",
       IAsyncAction::kIid,
       {CORVANE_PROBE(IAsyncAction, put_Completed), CORVANE_PROBE(IAsyncAction, get_Completed),
        CORVANE_PROBE(IAsyncAction, GetResults)}},
      {"AsyncActionCompletedHandler",
       IAsyncActionCompletedHandler::kIid,
       {CORVANE_PROBE(IAsyncActionCompletedHandler, Invoke)}},
      {"IDispatcherQueue",
       IDispatcherQueue::kIid,
       {CORVANE_PROBE(IDispatcherQueue, CreateTimer), CORVANE_PROBE(IDispatcherQueue, TryEnqueue),
        CORVANE_PROBE(IDispatcherQueue, TryEnqueueWithPriority), CORVANE_PROBE(IDispatcherQueue, add_ShutdownStarting),
        CORVANE_PROBE(IDispatcherQueue, remove_ShutdownStarting),
        CORVANE_PROBE(IDispatcherQueue, add_ShutdownCompleted),
        CORVANE_PROBE(IDispatcherQueue, remove_ShutdownCompleted)}},
      {"IDispatcherQueueStatics",
       IDispatcherQueueStatics::kIid,
       {CORVANE_PROBE(IDispatcherQueueStatics, GetForCurrentThread)}},
      {"IDispatcherQueueController",
       IDispatcherQueueController::kIid,
       {CORVANE_PROBE(IDispatcherQueueController, get_DispatcherQueue),
        CORVANE_PROBE(IDispatcherQueueController, ShutdownQueueAsync)}},
      {"DispatcherQueueHandler", IDispatcherQueueHandler::kIid, {CORVANE_PROBE(IDispatcherQueueHandler, Invoke)}},
      {"TypedEventHandler_DispatcherQueue_IInspectable",
       IDispatcherQueueShutdownCompletedHandler::kIid,
       {CORVANE_PROBE(IDispatcherQueueShutdownCompletedHandler, Invoke)}},
      {"IGlobalizationPreferencesStatics",
       IGlobalizationPreferencesStatics::kIid,
       {CORVANE_PROBE(IGlobalizationPreferencesStatics, get_Calendars),
        CORVANE_PROBE(IGlobalizationPreferencesStatics, get_Clocks),
        CORVANE_PROBE(IGlobalizationPreferencesStatics, get_Currencies),
        CORVANE_PROBE(IGlobalizationPreferencesStatics, get_Languages),
        CORVANE_PROBE(IGlobalizationPreferencesStatics, get_HomeGeographicRegion),
        CORVANE_PROBE(IGlobalizationPreferencesStatics, get_WeekStartsOn)}},
      {"IClosable", IClosable::kIid, {CORVANE_PROBE(IClosable, Close)}},
      {"IDirect3DSurface", IDirect3DSurface::kIid, {CORVANE_PROBE(IDirect3DSurface, get_Description)}},
      {"IVectorView_HSTRING",
       IVectorViewOfHString::kIid,
       {CORVANE_PROBE(IVectorViewOfHString, GetAt), CORVANE_PROBE(IVectorViewOfHString, get_Size),
        CORVANE_PROBE(IVectorViewOfHString, IndexOf), CORVANE_PROBE(IVectorViewOfHString, GetMany)}},
  };
}

// Transcribed from WINDOWS-ABI.md: table A for the interfaces, "Other facts"
// for the delegates (Invoke at slot 3) and IVectorView<T>, section B for the
// parameterised IIDs. Slots 0 to 5 are IUnknown's and IInspectable's.
struct FactRow {
  const char* name;
  const char* iid;  // empty for IUnknown and IInspectable, which come from the SDK
  int first_slot;
  const char* methods;  // in vtable order from first_slot
};

const FactRow kFacts[] = {
    {"IUnknown", "", 0, "QueryInterface, AddRef, Release"},
    {"IInspectable", "", 3, "GetIids, GetRuntimeClassName, GetTrustLevel"},
    {"IAsyncAction", "5a648006-843a-4da9-865b-9d26e5dfad7b", 6, "put_Completed, get_Completed, GetResults"},
    {"AsyncActionCompletedHandler", "a4ed5c81-76c9-40bd-8be6-b1d90fb20ae7", 3, "Invoke"},
    {"IDispatcherQueue", "603e88e4-a338-4ffe-a457-a5cfb9ceb899", 6,
     "CreateTimer, TryEnqueue, TryEnqueueWithPriority, add_ShutdownStarting, remove_ShutdownStarting, "
     "add_ShutdownCompleted, remove_ShutdownCompleted"},
    {"IDispatcherQueueStatics", "a96d83d7-9371-4517-9245-d0824ac12c74", 6, "GetForCurrentThread"},
    {"IDispatcherQueueController", "22f34e66-50db-4e36-a98d-61c01b384d20", 6,
     "get_DispatcherQueue, ShutdownQueueAsync"},
    {"DispatcherQueueHandler", "dfa2dc9c-1a2d-4917-98f2-939af1d6e0c8", 3, "Invoke"},
    {"TypedEventHandler_DispatcherQueue_IInspectable", "fe79f855-2f40-5b88-a0c3-4c042a05dd05", 3, "Invoke"},
    {"IGlobalizationPreferencesStatics", "01bf4326-ed37-4e96-b0e9-c1340d1ea158", 6,
     "get_Calendars, get_Clocks, get_Currencies, get_Languages, get_HomeGeographicRegion, get_WeekStartsOn"},
    {"IClosable", "30d5a829-7fa4-4026-83bb-d75bae4ea99e", 6, "Close"},
    {"IDirect3DSurface", "0bf4a146-13c1-4694-bee3-7abf15eaf586", 6, "get_Description"},
    {"IVectorView_HSTRING", "2f13c006-a03a-5f69-b090-75a43e33423e", 6, "GetAt, get_Size, IndexOf, GetMany"},
};

void PrintTo(const FactRow& row, std::ostream* out) { *out << row.name; }

std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  std::istringstream in(list);
  std::string name;
  while (std::getline(in, name, ',')) names.push_back(name.substr(name.find_first_not_of(' ')));
  return names;
}

class VtableSlotTest : public ::testing::TestWithParam<FactRow> {
 protected:
  static const Declared* Find(const std::string& name) {
    static const std::vector<Declared> declared = DeclaredInterfaces();
    for (const Declared& entry : declared) {
      if (entry.name == name) return &entry;
    }
    return nullptr;
  }
};

TEST_P(VtableSlotTest, DeclaredIidAndSlots_MatchTheFactTable) {
  const FactRow& fact = GetParam();
  const Declared* declared = Find(fact.name);
  ASSERT_NE(nullptr, declared) << "no declaration probed for " << fact.name;

  if (declared->iid) {
    EXPECT_EQ(fact.iid, FormatGuid(*declared->iid));
  }

  // Every method of the row is declared, each at its slot. (An extra method
  // declared in between shows up as the following ones moving.)
  const std::vector<std::string> expected = SplitNames(fact.methods);
  ASSERT_EQ(expected.size(), declared->probes.size()) << "methods probed for " << fact.name;
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i], declared->probes[i].method) << "probe order";
    EXPECT_EQ(fact.first_slot + static_cast<int>(i), declared->probes[i].slot) << fact.name << "::" << expected[i];
  }
}

INSTANTIATE_TEST_SUITE_P(TableA, VtableSlotTest, ::testing::ValuesIn(kFacts),
                         [](const ::testing::TestParamInfo<FactRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::test
