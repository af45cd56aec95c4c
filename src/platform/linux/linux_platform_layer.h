// The Linux platform layer for a host whose textures take one byte order.
//
// Our host library reads BGRA surfaces (SystemPlatformLayer() is this layer
// for BGRA); a Flutter Linux app's pixel-buffer textures take RGBA only, so
// the plugin built for one draws RGBA from the start. Everything else (the
// GLib queue, the GStreamer engine, paths and languages) is the same.
#ifndef CORVANE_PLATFORM_LINUX_LINUX_PLATFORM_LAYER_H_
#define CORVANE_PLATFORM_LINUX_LINUX_PLATFORM_LAYER_H_

#include "platform/platform_layer.h"
#include "platform/surface_device.h"

namespace corvane::platform {

// One layer per order, each living for the whole process.
PlatformLayer& LinuxPlatformLayer(PixelOrder textureOrder);

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_LINUX_LINUX_PLATFORM_LAYER_H_
