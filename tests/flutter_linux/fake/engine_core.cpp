#include "engine_core.h"

#include <cstdio>
#include <future>
#include <set>

namespace fake_flutter_linux::internal {
namespace {

using Task = std::function<void()>;

gboolean RunTask(gpointer data) {
  (*static_cast<Task*>(data))();
  return G_SOURCE_REMOVE;
}

void DeleteTask(gpointer data) { std::unique_ptr<Task> adopted(static_cast<Task*>(data)); }

// FNV-1a over the bytes: enough to see a buffer change under us.
uint64_t Checksum(const uint8_t* data, size_t size) {
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
  return hash;
}

std::vector<uint8_t> BytesOf(GBytes* bytes) {
  if (bytes == nullptr) return {};
  gsize size = 0;
  const auto* data = static_cast<const uint8_t*>(g_bytes_get_data(bytes, &size));
  return std::vector<uint8_t>(data, data + size);
}

// The canvas size Flutter passes in; the texture answers its own.
constexpr uint32_t kCanvasWidth = 640;
constexpr uint32_t kCanvasHeight = 360;

}  // namespace

EngineCore::EngineCore(std::chrono::milliseconds frameInterval)
    : frameInterval_(frameInterval), context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {}

EngineCore::~EngineCore() {
  g_main_loop_unref(loop_);
  g_main_context_unref(context_);
}

void EngineCore::Start() {
  std::promise<void> started;
  main_ = std::thread([this, &started] {
    g_main_context_push_thread_default(context_);
    mainThread_ = std::this_thread::get_id();
    registry_ = NewRegistry(shared_from_this());
    started.set_value();
    RunMainLoop();
  });
  started.get_future().wait();
  raster_ = std::thread([this] { RunRaster(); });
}

void EngineCore::RunMainLoop() {
  g_main_loop_run(loop_);
  // What was queued before the stop still runs (a plugin's deferred
  // releases, say), then the registry goes with the thread.
  while (g_main_context_pending(context_)) g_main_context_iteration(context_, FALSE);
  registry_.reset();
  while (g_main_context_pending(context_)) g_main_context_iteration(context_, FALSE);
  g_main_context_pop_thread_default(context_);
}

void EngineCore::Stop() {
  if (!main_.joinable()) return;
  // Two rounds: tasks that the first round's tasks post run too.
  for (int round = 0; round < 2; ++round) {
    std::promise<void> done;
    Post([&done] { done.set_value(); });
    done.get_future().wait();
  }
  g_main_loop_quit(loop_);
  main_.join();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    rasterStop_ = true;
  }
  changed_.notify_all();
  if (raster_.joinable()) raster_.join();
}

void EngineCore::Post(Task task) {
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, &RunTask, std::make_unique<Task>(std::move(task)).release(), &DeleteTask);
  g_source_attach(source, context_);
  g_source_unref(source);
}

void EngineCore::Violation(const std::string& what) {
  std::fprintf(stderr, "fake flutter_linux: rule broken: %s\n", what.c_str());
  std::lock_guard<std::mutex> lock(mutex_);
  violations_.push_back(what);
}

std::vector<std::string> EngineCore::Violations() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return violations_;
}

bool EngineCore::CheckAlive(const char* what) {
  if (!shutDown_.load()) return true;
  Violation(std::string(what) + " after the engine shut down");
  return false;
}

void EngineCore::Shutdown() {
  if (shutDown_.exchange(true)) return;
  // The messenger's disposal: every handler goes, each with its destroy
  // notification, outside our lock (they may call back in).
  std::map<std::string, Handler> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(handlers_);
  }
  for (auto& [channel, handler] : dropped) {
    if (handler.destroy != nullptr) handler.destroy(handler.userData);
  }
  // Then the texture registrar's.
  std::map<int64_t, Texture> left;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    left.swap(textures_);
    texturesLeft_ = left.size();
    rasterStop_ = true;
  }
  changed_.notify_all();
  if (raster_.joinable()) raster_.join();
}

void EngineCore::SetHandler(const gchar* channel, FlBinaryMessengerMessageHandler function, gpointer userData,
                            GDestroyNotify destroy) {
  if (!IsMainThread()) Violation(std::string("handler set off the main thread on ") + channel);
  if (shutDown_.load()) {
    // The messenger is being disposed (or is gone): nothing is installed.
    Violation(std::string("handler set on a disposed messenger, channel ") + channel);
    if (destroy != nullptr) destroy(userData);
    return;
  }
  Handler replaced;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = handlers_.find(channel);
    if (found != handlers_.end()) {
      replaced = found->second;
      handlers_.erase(found);
    }
    if (function != nullptr) handlers_[channel] = Handler{function, userData, destroy};
  }
  if (replaced.destroy != nullptr) replaced.destroy(replaced.userData);
}

void EngineCore::DeliverToPlatform(const std::string& channel, std::vector<uint8_t> message,
                                   Engine::ReplyHandler onReply) {
  auto self = shared_from_this();
  Post([self, channel, message = std::move(message), onReply = std::move(onReply)]() mutable {
    if (self->IsShutDown()) {
      onReply(std::nullopt);
      return;
    }
    Handler handler;
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      auto found = self->handlers_.find(channel);
      if (found != self->handlers_.end()) handler = found->second;
    }
    if (handler.function == nullptr) {
      onReply(std::vector<uint8_t>());
      return;
    }
    GBytes* bytes = g_bytes_new(message.data(), message.size());
    ObjectPtr<FlBinaryMessengerResponseHandle> response = NewResponseHandle(self, std::move(onReply));
    handler.function(self->messenger_, channel.c_str(), bytes, response.get(), handler.userData);
    g_bytes_unref(bytes);
  });
}

void EngineCore::SendToDart(const gchar* channel, GBytes* message, GAsyncReadyCallback callback) {
  if (!IsMainThread()) Violation(std::string("message sent towards Dart off the main thread on ") + channel);
  if (!CheckAlive("message sent towards Dart")) return;
  if (callback != nullptr) Violation("a send asked for a reply, which the fake does not give");
  std::function<void(std::vector<uint8_t>)> handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = dartHandlers_.find(channel);
    if (found != dartHandlers_.end()) handler = found->second;
  }
  if (handler) handler(BytesOf(message));
}

void EngineCore::SetDartHandler(const std::string& channel, std::function<void(std::vector<uint8_t>)> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  dartHandlers_[channel] = std::move(handler);
}

gboolean EngineCore::RegisterTexture(FlTexture* texture) {
  if (!IsMainThread()) Violation("texture registered off the main thread");
  if (shutDown_.load()) return FALSE;
  std::lock_guard<std::mutex> lock(mutex_);
  const int64_t id = nextTextureId_++;
  FL_TEXTURE_GET_IFACE(texture)->set_id(texture, id);
  textures_[id] = Texture{Retain(texture), true};
  return TRUE;
}

gboolean EngineCore::MarkTexture(FlTexture* texture) {
  if (!IsMainThread()) Violation("texture marked off the main thread");
  const int64_t id = fl_texture_get_id(texture);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = textures_.find(id);
    if (found != textures_.end() && found->second.object.get() == texture) {
      found->second.marked = true;
      return TRUE;
    }
  }
  Violation("texture " + std::to_string(id) + " marked while not registered");
  return FALSE;
}

gboolean EngineCore::UnregisterTexture(FlTexture* texture) {
  if (!IsMainThread()) Violation("texture unregistered off the main thread");
  ObjectPtr<FlTexture> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = textures_.find(fl_texture_get_id(texture));
    if (found == textures_.end() || found->second.object.get() != texture) return FALSE;
    dropped = std::move(found->second.object);
    textures_.erase(found);
    frames_.erase(fl_texture_get_id(texture));
  }
  changed_.notify_all();
  return TRUE;
}

std::vector<int64_t> EngineCore::RegisteredTextures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<int64_t> ids;
  for (const auto& entry : textures_) ids.push_back(entry.first);
  return ids;
}

std::optional<Frame> EngineCore::LatestFrame(int64_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = frames_.find(id);
  if (found == frames_.end()) return std::nullopt;
  return found->second;
}

std::optional<Frame> EngineCore::WaitForFrame(int64_t id, const std::function<bool(const Frame&)>& accept,
                                              std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  uint64_t checked = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    auto found = frames_.find(id);
    if (found != frames_.end() && found->second.serial != checked) {
      checked = found->second.serial;
      if (accept(found->second)) return found->second;
    }
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) return std::nullopt;
  }
}

void EngineCore::RunRaster() {
  std::map<FlTexture*, HandedOut> handedOut;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!rasterStop_) {
    lock.unlock();
    RasterTick(handedOut);
    lock.lock();
    changed_.wait_for(lock, frameInterval_, [this] { return rasterStop_; });
  }
}

void EngineCore::RasterTick(std::map<FlTexture*, HandedOut>& handedOut) {
  std::vector<std::pair<int64_t, ObjectPtr<FlTexture>>> due;
  std::set<FlTexture*> registered;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, texture] : textures_) {
      registered.insert(texture.object.get());
      if (!texture.marked) continue;
      texture.marked = false;
      due.emplace_back(id, Retain(texture.object.get()));
    }
  }
  // After its unregistration a texture's buffer is the plugin's again.
  for (auto it = handedOut.begin(); it != handedOut.end();) {
    it = registered.count(it->first) != 0 ? std::next(it) : handedOut.erase(it);
  }
  // Flutter may read a buffer until the next copy_pixels: it must not
  // change or go before then.
  for (auto& [texture, out] : handedOut) {
    if (out.buffer != nullptr && Checksum(out.buffer, out.size) != out.checksum) {
      Violation("texture " + std::to_string(fl_texture_get_id(texture)) +
                ": the buffer copy_pixels returned changed before the next copy_pixels");
      out.checksum = Checksum(out.buffer, out.size);
    }
  }
  for (auto& [id, texture] : due) {
    HandedOut& out = handedOut[texture.get()];
    if (!out.object) out.object = Retain(texture.get());
    CopyTexture(id, texture.get(), out);
  }
}

void EngineCore::CopyTexture(int64_t id, FlTexture* texture, HandedOut& out) {
  const uint8_t* buffer = nullptr;
  uint32_t width = kCanvasWidth;
  uint32_t height = kCanvasHeight;
  GError* error = nullptr;
  auto* pixelTexture = FL_PIXEL_BUFFER_TEXTURE(texture);
  if (!FL_PIXEL_BUFFER_TEXTURE_GET_CLASS(pixelTexture)->copy_pixels(pixelTexture, &buffer, &width, &height, &error)) {
    Violation("texture " + std::to_string(id) + ": copy_pixels failed: " + (error ? error->message : "no error"));
    if (error != nullptr) g_error_free(error);
    out.buffer = nullptr;
    return;
  }
  if (buffer == nullptr || width == 0 || height == 0) {
    Violation("texture " + std::to_string(id) + ": copy_pixels returned TRUE without pixels");
    out.buffer = nullptr;
    return;
  }
  out.buffer = buffer;
  out.size = size_t{width} * height * 4;
  out.checksum = Checksum(buffer, out.size);
  Frame frame{std::vector<uint8_t>(buffer, buffer + out.size), width, height, 0};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (textures_.count(id) == 0) return;  // unregistered meanwhile
    Frame& latest = frames_[id];
    frame.serial = latest.serial + 1;
    latest = std::move(frame);
  }
  changed_.notify_all();
}

}  // namespace fake_flutter_linux::internal
