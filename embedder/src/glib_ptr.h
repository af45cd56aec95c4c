// Owning handles for the few GLib objects the host keeps.
#ifndef CORVANE_EMBEDDER_GLIB_PTR_H_
#define CORVANE_EMBEDDER_GLIB_PTR_H_

#include <glib.h>

#include <memory>

namespace corvane::embedder::internal {

struct MainContextUnref {
  void operator()(GMainContext* context) const { g_main_context_unref(context); }
};
struct MainLoopUnref {
  void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
};
struct SourceUnref {
  void operator()(GSource* source) const { g_source_unref(source); }
};

using MainContextPtr = std::unique_ptr<GMainContext, MainContextUnref>;
using MainLoopPtr = std::unique_ptr<GMainLoop, MainLoopUnref>;
using SourcePtr = std::unique_ptr<GSource, SourceUnref>;

// Takes over a reference the caller already owns (a *_new result).
inline MainContextPtr AdoptContext(GMainContext* context) { return MainContextPtr(context); }
inline MainLoopPtr AdoptLoop(GMainLoop* loop) { return MainLoopPtr(loop); }
inline SourcePtr AdoptSource(GSource* source) { return SourcePtr(source); }

}  // namespace corvane::embedder::internal

#endif  // CORVANE_EMBEDDER_GLIB_PTR_H_
