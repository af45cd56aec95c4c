// The Flutter desktop embedding's C interface, as the plugin sees it.
//
// The plugin never defines these functions: the process that loads it (the
// Flutter engine, or our Linux host library in tests and the demo player)
// provides them, and the dynamic loader resolves them at load time.
#ifndef CORVANE_HOST_FLUTTER_DESKTOP_H_
#define CORVANE_HOST_FLUTTER_DESKTOP_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FlutterDesktopMessenger* FlutterDesktopMessengerRef;
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;
typedef struct FlutterDesktopTextureRegistrar* FlutterDesktopTextureRegistrarRef;
typedef struct FlutterDesktopView* FlutterDesktopViewRef;
typedef struct FlutterDesktopMessageResponseHandle FlutterDesktopMessageResponseHandle;

typedef struct {
  size_t struct_size;  // sizeof(FlutterDesktopMessage)
  const char* channel;
  const uint8_t* message;
  size_t message_size;
  const FlutterDesktopMessageResponseHandle* response_handle;
} FlutterDesktopMessage;

typedef void (*FlutterDesktopBinaryReply)(const uint8_t* data, size_t data_size, void* user_data);
typedef void (*FlutterDesktopMessageCallback)(FlutterDesktopMessengerRef messenger,
                                              const FlutterDesktopMessage* message, void* user_data);
typedef void (*FlutterDesktopOnPluginRegistrarDestroyed)(FlutterDesktopPluginRegistrarRef registrar);

typedef enum {
  kFlutterDesktopPixelBufferTexture = 0,
  kFlutterDesktopGpuSurfaceTexture = 1
} FlutterDesktopTextureType;

typedef enum {
  kFlutterDesktopGpuSurfaceTypeNone = 0,
  kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle = 1,
  kFlutterDesktopGpuSurfaceTypeD3d11Texture2D = 2
} FlutterDesktopGpuSurfaceType;

typedef enum {
  kFlutterDesktopPixelFormatNone = 0,
  kFlutterDesktopPixelFormatRGBA8888 = 1,
  kFlutterDesktopPixelFormatBGRA8888 = 2
} FlutterDesktopPixelFormat;

typedef struct {
  const uint8_t* buffer;
  size_t width;
  size_t height;
  void (*release_callback)(void* release_context);
  void* release_context;
} FlutterDesktopPixelBuffer;

typedef struct {
  size_t struct_size;  // 72
  // On Linux: the file descriptor of a memfd holding pixels in `format`'s
  // byte order, rows packed, as (void*)(intptr_t)fd.
  void* handle;
  size_t width, height;  // the size the player wants next; never for reading
  size_t visible_width, visible_height;  // the buffer's size
  FlutterDesktopPixelFormat format;
  void (*release_callback)(void* release_context);
  void* release_context;
} FlutterDesktopGpuSurfaceDescriptor;

typedef const FlutterDesktopPixelBuffer* (*FlutterDesktopPixelBufferTextureCallback)(
    size_t width, size_t height, void* user_data);
typedef const FlutterDesktopGpuSurfaceDescriptor* (*FlutterDesktopGpuSurfaceTextureCallback)(
    size_t width, size_t height, void* user_data);

typedef struct {
  FlutterDesktopPixelBufferTextureCallback callback;
  void* user_data;
} FlutterDesktopPixelBufferTextureConfig;

typedef struct {
  size_t struct_size;  // 32
  FlutterDesktopGpuSurfaceType type;
  FlutterDesktopGpuSurfaceTextureCallback callback;
  void* user_data;
} FlutterDesktopGpuSurfaceTextureConfig;

typedef struct {
  FlutterDesktopTextureType type;
  union {
    FlutterDesktopPixelBufferTextureConfig pixel_buffer_config;
    FlutterDesktopGpuSurfaceTextureConfig gpu_surface_config;
  };
} FlutterDesktopTextureInfo;

FlutterDesktopMessengerRef FlutterDesktopPluginRegistrarGetMessenger(
    FlutterDesktopPluginRegistrarRef registrar);
FlutterDesktopTextureRegistrarRef FlutterDesktopRegistrarGetTextureRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
// May return NULL: a headless engine has no view.
FlutterDesktopViewRef FlutterDesktopPluginRegistrarGetView(FlutterDesktopPluginRegistrarRef registrar);
void FlutterDesktopPluginRegistrarSetDestructionHandler(FlutterDesktopPluginRegistrarRef registrar,
                                                        FlutterDesktopOnPluginRegistrarDestroyed callback);

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size);
bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data);
void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length);
void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data);
FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger);
void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger);
bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger);
FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger);
void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger);

int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(FlutterDesktopTextureRegistrarRef registrar,
                                                              const FlutterDesktopTextureInfo* info);
void FlutterDesktopTextureRegistrarUnregisterExternalTexture(FlutterDesktopTextureRegistrarRef registrar,
                                                             int64_t texture_id,
                                                             void (*callback)(void* user_data),
                                                             void* user_data);
bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
    FlutterDesktopTextureRegistrarRef registrar, int64_t texture_id);

#ifdef __cplusplus
}  // extern "C"

static_assert(sizeof(FlutterDesktopMessage) == 40, "message record layout");
static_assert(sizeof(FlutterDesktopGpuSurfaceDescriptor) == 72, "GPU surface descriptor layout");
static_assert(sizeof(FlutterDesktopGpuSurfaceTextureConfig) == 32, "GPU surface config layout");
#endif

#endif  // CORVANE_HOST_FLUTTER_DESKTOP_H_
