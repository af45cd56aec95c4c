// What the plugin needs from the operating system, behind one interface so
// that the same plugin code serves Linux now and Windows later, and tests
// can stand in for the system.
//
// Threads: every operation is called on the platform thread of the
// registration concerned, except IsModernWindows, which engine threads may
// call once the first call has answered.
#ifndef CORVANE_PLATFORM_PLATFORM_LAYER_H_
#define CORVANE_PLATFORM_PLATFORM_LAYER_H_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dispatcher_queue.h"
#include "platform/hresult.h"
#include "platform/media_engine.h"
#include "platform/surface_device.h"

namespace corvane::platform {

// CoInitializeEx's answer when the thread already runs another apartment
// model: the call did not initialise anything, so nothing is to be undone.
inline constexpr hresult kChangedMode = static_cast<hresult>(0x80010106);  // RPC_E_CHANGED_MODE

class PlatformLayer {
 public:
  virtual ~PlatformLayer() = default;

  // Whether the newer facilities (dispatcher queue, frame server, subtitle
  // surfaces) may be used. Probed at the first call, which logs what it
  // found; later calls only read the answer.
  bool IsModernWindows();

  // The calling thread's apartment: S_OK or S_FALSE when this call
  // initialised it (and UninitializeApartment must balance it),
  // kChangedMode when the thread runs another model, another failure code
  // otherwise. Linux has no apartments and answers S_OK.
  virtual hresult InitializeApartment() = 0;
  virtual void UninitializeApartment() = 0;

  // The queue of the calling (platform) thread, or null when there is none:
  // then tasks run inline. Logs the outcome.
  virtual std::shared_ptr<DispatcherQueue> QueueForCurrentThread() = 0;

  // The process-wide shared-texture device, shared by every registration:
  // created at the first request, released when the last holder lets go.
  // Null when it cannot be created (logged).
  std::shared_ptr<SurfaceDevice> AcquireSharedDevice();

  // The media engine that makes players, shared like the device. Raises
  // hresult_error when no engine can be had.
  std::shared_ptr<MediaEngine> AcquireMediaEngine();

  // The user's preferred languages as tags, most preferred first; read at
  // each track choice.
  virtual std::vector<std::string> UserLanguages() = 0;

  // What opening a source needs to find assets and relative paths, read at
  // each open: the running executable's full path, the working directory,
  // and whether paths are Windows paths (backslashes, drive letters).
  virtual std::string ExecutablePath() = 0;
  virtual std::string WorkingDirectory() = 0;
  virtual bool UsesWindowsPaths() const = 0;

 protected:
  // Runs the system's probe once, logging its findings; returns the answer.
  virtual bool ProbeCapabilities() = 0;
  // Each raises hresult_error on failure.
  virtual std::shared_ptr<SurfaceDevice> CreateSurfaceDevice() = 0;
  virtual std::shared_ptr<MediaEngine> CreateMediaEngine() = 0;

 private:
  std::once_flag probed_;
  bool modern_ = false;
  std::mutex sharedMutex_;
  std::weak_ptr<SurfaceDevice> device_;
  std::weak_ptr<MediaEngine> engine_;
};

// The layer of the system the library runs on: on Linux, GLib main contexts,
// memfd textures and the GStreamer engine. Lives for the whole process.
PlatformLayer& SystemPlatformLayer();

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_PLATFORM_LAYER_H_
