// The registrar of a desktop engine, which may also have a view.
#ifndef CORVANE_HOST_PLUGIN_REGISTRAR_WINDOWS_H_
#define CORVANE_HOST_PLUGIN_REGISTRAR_WINDOWS_H_

#include <memory>

#include "host/flutter_desktop.h"
#include "host/plugin_registrar.h"

namespace flutter {

// The engine's view; the plugin only holds it.
class FlutterView {
 public:
  explicit FlutterView(FlutterDesktopViewRef view) : view_(view) {}
  virtual ~FlutterView() = default;
  FlutterView(const FlutterView&) = delete;
  FlutterView& operator=(const FlutterView&) = delete;

  // The engine's handle of the view, for calls into the embedding.
  FlutterDesktopViewRef Native() const { return view_; }

 private:
  FlutterDesktopViewRef view_;  // not owned
};

class PluginRegistrarWindows : public PluginRegistrar {
 public:
  explicit PluginRegistrarWindows(FlutterDesktopPluginRegistrarRef coreRegistrar);
  ~PluginRegistrarWindows() override;

  // Null for an engine without a view (headless).
  FlutterView* GetView() { return view_.get(); }

 private:
  std::unique_ptr<FlutterView> view_;
};

}  // namespace flutter

#endif  // CORVANE_HOST_PLUGIN_REGISTRAR_WINDOWS_H_
