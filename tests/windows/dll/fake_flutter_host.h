// The test side of the fake flutter_windows.dll: one in-process engine with
// a registrar, a messenger and a texture registrar, driven by the test on
// its main thread, which is the engine's platform thread.
//
// Messages from "Dart" reach the plugin's handler synchronously inside
// FakeFlutterHostSend, on the platform thread; the plugin's answer arrives
// through the reply function on whatever thread answers. Work the engine
// would do later (SendWithReply's answer, texture unregistration
// completions) waits in a queue that FakeFlutterHostRunPending runs on the
// platform thread. Misuse by the plugin (a platform-thread function called
// elsewhere, an answer given twice, an unknown texture) is written to
// standard error and counted, never a crash.
//
// A C interface: the fake DLL and its users each link their own C++ runtime.
#ifndef CORVANE_TESTS_WINDOWS_DLL_FAKE_FLUTTER_HOST_H_
#define CORVANE_TESTS_WINDOWS_DLL_FAKE_FLUTTER_HOST_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "host/flutter_desktop.h"

#ifdef FAKE_FLUTTER_HOST_IMPL
#define FAKE_FLUTTER_HOST_API __declspec(dllexport)
#else
#define FAKE_FLUTTER_HOST_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FakeFlutterHost FakeFlutterHost;

// An answer to one message: null with size 0 is the empty answer.
typedef void (*FakeFlutterHostReply)(const uint8_t* data, size_t size, void* user_data);
// A message the plugin sent to Dart (an event, an end of stream).
typedef void (*FakeFlutterHostListener)(const char* channel, const uint8_t* data, size_t size, void* user_data);

// The calling thread becomes the engine's platform thread.
FAKE_FLUTTER_HOST_API FakeFlutterHost* FakeFlutterHostCreate(void);
// Engine shutdown: destroys a registrar still alive, runs what is pending,
// then frees the host, unless the plugin still holds messenger references
// or handlers (counted as misuse; the host is then left allocated so that
// late calls find it).
FAKE_FLUTTER_HOST_API void FakeFlutterHostDestroy(FakeFlutterHost* host);

FAKE_FLUTTER_HOST_API FlutterDesktopPluginRegistrarRef FakeFlutterHostRegistrar(FakeFlutterHost* host);
// Calls the destruction handler the plugin installed, as the engine does
// when it goes away. Platform thread; once.
FAKE_FLUTTER_HOST_API void FakeFlutterHostDestroyRegistrar(FakeFlutterHost* host);

// Delivers a message to the handler on `channel`. False, and no reply, when
// none is installed.
FAKE_FLUTTER_HOST_API bool FakeFlutterHostSend(FakeFlutterHost* host, const char* channel, const uint8_t* data,
                                               size_t size, FakeFlutterHostReply reply, void* user_data);
// Null removes the listener.
FAKE_FLUTTER_HOST_API void FakeFlutterHostSetListener(FakeFlutterHost* host, FakeFlutterHostListener listener,
                                                      void* user_data);
// Runs the engine's deferred work; returns how many items ran.
FAKE_FLUTTER_HOST_API size_t FakeFlutterHostRunPending(FakeFlutterHost* host);

FAKE_FLUTTER_HOST_API bool FakeFlutterHostHasHandler(FakeFlutterHost* host, const char* channel);
FAKE_FLUTTER_HOST_API size_t FakeFlutterHostHandlerCount(FakeFlutterHost* host);
FAKE_FLUTTER_HOST_API size_t FakeFlutterHostTextureCount(FakeFlutterHost* host);
// AddRef minus Release.
FAKE_FLUTTER_HOST_API int FakeFlutterHostMessengerReferences(FakeFlutterHost* host);
FAKE_FLUTTER_HOST_API size_t FakeFlutterHostMisuseCount(FakeFlutterHost* host);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // CORVANE_TESTS_WINDOWS_DLL_FAKE_FLUTTER_HOST_H_
