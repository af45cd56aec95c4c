// The plugin's GPU-surface texture as a flutter_linux pixel-buffer texture.
//
// Flutter's raster thread calls copy_pixels; it calls the plugin's surface
// callback (which hands back a descriptor with the surface lock held),
// copies the pixels out (SurfacePixels) and gives the descriptor back
// before it returns, so the plugin's engine threads never wait for the
// raster thread beyond one copy.
//
// Detaching (after the texture's unregistration) waits for a copy in
// progress and cuts the plugin's callback off: once Detach has returned, no
// copy_pixels reaches the plugin again. copy_pixels keeps answering, with
// the last pixels, which live as long as the texture object: Flutter may
// still read them after the unregistration.
//
// Threads: copy_pixels on the raster thread; detaching and the delivery of
// marks on the main thread; RequestSurfaceTextureMark on any thread.
#ifndef CORVANE_FLUTTER_LINUX_SURFACE_TEXTURE_H_
#define CORVANE_FLUTTER_LINUX_SURFACE_TEXTURE_H_

#include <flutter_linux/flutter_linux.h>

#include "host/flutter_desktop.h"

G_BEGIN_DECLS

G_DECLARE_FINAL_TYPE(CorvaneSurfaceTexture, corvane_surface_texture, CORVANE, SURFACE_TEXTURE,
                     FlPixelBufferTexture)

// A new texture (one reference, the caller's) that fetches its pixels
// through `callback`.
CorvaneSurfaceTexture* corvane_surface_texture_new(FlutterDesktopGpuSurfaceTextureCallback callback,
                                                   void* user_data);

G_END_DECLS

namespace corvane::flutter_linux {

// Main thread. Waits for a copy in progress; the plugin's callback is not
// called after this returns.
void DetachSurfaceTexture(CorvaneSurfaceTexture* texture);
bool IsSurfaceTextureAttached(CorvaneSurfaceTexture* texture);

// Frame marks are coalesced: one pending mark per texture at a time.
// Any thread: whether this call made a mark pending (false: one already is).
bool RequestSurfaceTextureMark(CorvaneSurfaceTexture* texture);
// Main thread, as the pending mark is delivered: a later frame may ask again.
void ClearSurfaceTextureMark(CorvaneSurfaceTexture* texture);

}  // namespace corvane::flutter_linux

#endif  // CORVANE_FLUTTER_LINUX_SURFACE_TEXTURE_H_
