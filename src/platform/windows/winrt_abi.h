// Windows Runtime interfaces the Windows adapters call, declared at the ABI.
//
// mingw-w64 10 ships none of these (or, for IDispatcherQueueController, an
// empty declaration whose include guard would hide this one: never include
// <dispatcherqueue.h> or <windows.system.h> next to this header), so they are
// declared here from a slot table checked against two independent sources.
//
// Rules every declaration follows:
//   - Methods carry their ABI names (get_X, put_X, add_X, remove_X) and sit
//     in vtable order. Every slot up to the last one we call is declared,
//     including ones we never call: a missing slot moves all that follow.
//   - What the metadata shows as overloads are distinct ABI methods with
//     distinct names (TryEnqueue, then TryEnqueueWithPriority). They are
//     never C++ overloads: MSVC groups overloaded virtuals together in the
//     vtable and GCC does not.
//   - Interfaces a runtime interface `requires` are not part of its vtable;
//     they are reached with QueryInterface.
//   - Out-parameters of interface and HSTRING type hand over a reference the
//     caller must release (ComRef::Receive, HString::Receive).
// tests/windows_abi checks every slot and every IID here against the table.
#ifndef CORVANE_PLATFORM_WINDOWS_WINRT_ABI_H_
#define CORVANE_PLATFORM_WINDOWS_WINRT_ABI_H_

#include <cstdint>

#include "platform/windows/winrt_base.h"
#include "platform/windows/winrt_pinterface_iids.h"

namespace corvane::platform::winrt {

// ---- Generic interfaces ------------------------------------------------------
// An instantiation's IID depends on its full type signature, not on the C++
// element type (IVectorView<AudioTrack> and IVectorView<VideoTrack> both hold
// IMediaTrack*), so the IID is a template argument taken from
// winrt_pinterface_iids.h.

// Windows.Foundation.Collections.IVectorView<T>. Element is the ABI type:
// HSTRING, an interface pointer, or a struct.
template <typename Element, const GUID& kIidValue>
struct IVectorView : IInspectable {
  static constexpr const GUID& kIid = kIidValue;
  virtual HRESULT CORVANE_WINRT_CALL GetAt(uint32_t index, Element* item) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Size(uint32_t* size) = 0;
  virtual HRESULT CORVANE_WINRT_CALL IndexOf(Element value, uint32_t* index, boolean* found) = 0;
  virtual HRESULT CORVANE_WINRT_CALL GetMany(uint32_t start_index, uint32_t capacity, Element* items,
                                             uint32_t* actual) = 0;
};

// Windows.Foundation.TypedEventHandler<TSender, TResult>. A delegate, so it
// derives from IUnknown and Invoke is slot 3.
template <typename Sender, typename Args, const GUID& kIidValue>
struct ITypedEventHandler : IUnknown {
  static constexpr const GUID& kIid = kIidValue;
  virtual HRESULT CORVANE_WINRT_CALL Invoke(Sender sender, Args args) = 0;
};

using IVectorViewOfHString = IVectorView<HSTRING, pinterface::kIVectorView_HSTRING>;

// ---- Windows.Foundation ------------------------------------------------------

struct IAsyncAction;

// Windows.Foundation.AsyncStatus, passed through to completion handlers. Its
// values are not among the facts these declarations were checked against,
// so none are named here.
enum class AsyncStatus : int32_t {};

// Windows.Foundation.AsyncActionCompletedHandler (delegate).
struct IAsyncActionCompletedHandler : IUnknown {
  static constexpr GUID kIid = ParseGuid("a4ed5c81-76c9-40bd-8be6-b1d90fb20ae7");
  virtual HRESULT CORVANE_WINRT_CALL Invoke(IAsyncAction* async_info, AsyncStatus status) = 0;
};

// IAsyncAction requires IAsyncInfo, which is reached by QueryInterface.
struct IAsyncAction : IInspectable {
  static constexpr GUID kIid = ParseGuid("5a648006-843a-4da9-865b-9d26e5dfad7b");
  virtual HRESULT CORVANE_WINRT_CALL put_Completed(IAsyncActionCompletedHandler* handler) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Completed(IAsyncActionCompletedHandler** handler) = 0;
  virtual HRESULT CORVANE_WINRT_CALL GetResults() = 0;
};

// Windows.Foundation.IClosable: reached by QueryInterface on the objects
// that own system resources (MediaPlayer, MediaSource, a Direct3D surface).
struct IClosable : IInspectable {
  static constexpr GUID kIid = ParseGuid("30d5a829-7fa4-4026-83bb-d75bae4ea99e");
  virtual HRESULT CORVANE_WINRT_CALL Close() = 0;
};

// ---- Windows.Graphics.DirectX.Direct3D11 ---------------------------------------

// Its layout is not among our checked facts and nothing here reads it.
struct Direct3DSurfaceDescription;

// The surface the media engine draws into, made from a DXGI surface by
// d3d11.dll's CreateDirect3D11SurfaceFromDXGISurface. It requires
// IClosable, which is not in its vtable.
struct IDirect3DSurface : IInspectable {
  static constexpr GUID kIid = ParseGuid("0bf4a146-13c1-4694-bee3-7abf15eaf586");
  virtual HRESULT CORVANE_WINRT_CALL get_Description(Direct3DSurfaceDescription* description) = 0;
};

// ---- Windows.System: DispatcherQueue -----------------------------------------

inline constexpr wchar_t kRuntimeClassDispatcherQueue[] = L"Windows.System.DispatcherQueue";

// Windows.System.DispatcherQueuePriority.
enum class DispatcherQueuePriority : int32_t {
  Low = -10,
  Normal = 0,
  High = 10,
};

// Windows.System.DispatcherQueueHandler (delegate): the work item.
struct IDispatcherQueueHandler : IUnknown {
  static constexpr GUID kIid = ParseGuid("dfa2dc9c-1a2d-4917-98f2-939af1d6e0c8");
  virtual HRESULT CORVANE_WINRT_CALL Invoke() = 0;
};

struct IDispatcherQueue;

using IDispatcherQueueShutdownCompletedHandler =
    ITypedEventHandler<IDispatcherQueue*, IInspectable*, pinterface::kTypedEventHandler_DispatcherQueue_IInspectable>;

// The first version of the interface only. get_HasThreadAccess belongs to
// IDispatcherQueue2; putting it here would shift TryEnqueue by one slot.
struct IDispatcherQueue : IInspectable {
  static constexpr GUID kIid = ParseGuid("603e88e4-a338-4ffe-a457-a5cfb9ceb899");
  // Hands back a DispatcherQueueTimer, which nothing here declares.
  virtual HRESULT CORVANE_WINRT_CALL CreateTimer(IInspectable** timer) = 0;
  // `queued` is false once the queue has begun shutting down; the handler is
  // then never invoked.
  virtual HRESULT CORVANE_WINRT_CALL TryEnqueue(IDispatcherQueueHandler* callback, boolean* queued) = 0;
  virtual HRESULT CORVANE_WINRT_CALL TryEnqueueWithPriority(DispatcherQueuePriority priority,
                                                            IDispatcherQueueHandler* callback, boolean* queued) = 0;
  // The handler is a TypedEventHandler<DispatcherQueue,
  // DispatcherQueueShutdownStartingEventArgs>, whose IID is not among our
  // checked facts; it is typed as IUnknown so no other handler type fits.
  virtual HRESULT CORVANE_WINRT_CALL add_ShutdownStarting(IUnknown* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_ShutdownStarting(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_ShutdownCompleted(IDispatcherQueueShutdownCompletedHandler* handler,
                                                           EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_ShutdownCompleted(EventRegistrationToken token) = 0;
};

struct IDispatcherQueueStatics : IInspectable {
  static constexpr GUID kIid = ParseGuid("a96d83d7-9371-4517-9245-d0824ac12c74");
  virtual HRESULT CORVANE_WINRT_CALL GetForCurrentThread(IDispatcherQueue** queue) = 0;
};

struct IDispatcherQueueController : IInspectable {
  static constexpr GUID kIid = ParseGuid("22f34e66-50db-4e36-a98d-61c01b384d20");
  virtual HRESULT CORVANE_WINRT_CALL get_DispatcherQueue(IDispatcherQueue** queue) = 0;
  virtual HRESULT CORVANE_WINRT_CALL ShutdownQueueAsync(IAsyncAction** operation) = 0;
};

// CreateDispatcherQueueController, exported by CoreMessaging.dll. The plugin
// never imports it: a DLL with a static import of a missing DLL fails to load
// as a whole (Wine 8 has no CoreMessaging.dll at all), so it is looked up at
// run time (FindCreateDispatcherQueueController below).
enum class DispatcherQueueThreadType : int32_t {
  Dedicated = 1,
  Current = 2,
};
enum class DispatcherQueueThreadApartmentType : int32_t {
  ComNone = 0,
  ComAsta = 1,
  ComSta = 2,
};
// Passed by value. dwSize is sizeof(DispatcherQueueOptions).
struct DispatcherQueueOptions {
  uint32_t dwSize;
  DispatcherQueueThreadType threadType;
  DispatcherQueueThreadApartmentType apartmentType;
};
static_assert(sizeof(DispatcherQueueOptions) == 12, "DispatcherQueueOptions is three 32-bit fields");

using CreateDispatcherQueueControllerFunction = HRESULT(CORVANE_WINRT_CALL*)(DispatcherQueueOptions options,
                                                                             IDispatcherQueueController** controller);

#ifdef _WIN32
// Null when the system has no CoreMessaging.dll or it lacks the export. The
// module stays loaded for the life of the process, like any system DLL the
// returned function belongs to; it is loaded from System32 only, never from
// the application's folder or the current directory.
inline CreateDispatcherQueueControllerFunction FindCreateDispatcherQueueController() {
  HMODULE module = LoadLibraryExW(L"CoreMessaging.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module) return nullptr;
  FARPROC address = GetProcAddress(module, "CreateDispatcherQueueController");
  if (!address) {
    FreeLibrary(module);
    return nullptr;
  }
  // FARPROC is a generic function pointer; casting through void(*)() tells
  // GCC's -Wcast-function-type that the change of signature is deliberate.
  return reinterpret_cast<CreateDispatcherQueueControllerFunction>(reinterpret_cast<void (*)()>(address));
}
#endif

// ---- Windows.System.UserProfile: GlobalizationPreferences --------------------

inline constexpr wchar_t kRuntimeClassGlobalizationPreferences[] =
    L"Windows.System.UserProfile.GlobalizationPreferences";

// Windows.Globalization.DayOfWeek. Nothing here reads it; its values are not
// among our checked facts.
enum class DayOfWeek : int32_t {};

// Reached through the activation factory of GlobalizationPreferences.
struct IGlobalizationPreferencesStatics : IInspectable {
  static constexpr GUID kIid = ParseGuid("01bf4326-ed37-4e96-b0e9-c1340d1ea158");
  virtual HRESULT CORVANE_WINRT_CALL get_Calendars(IVectorViewOfHString** calendars) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Clocks(IVectorViewOfHString** clocks) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Currencies(IVectorViewOfHString** currencies) = 0;
  // BCP-47 tags, most preferred first.
  virtual HRESULT CORVANE_WINRT_CALL get_Languages(IVectorViewOfHString** languages) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_HomeGeographicRegion(HSTRING* region) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_WeekStartsOn(DayOfWeek* day) = 0;
};

}  // namespace corvane::platform::winrt

#endif  // CORVANE_PLATFORM_WINDOWS_WINRT_ABI_H_
