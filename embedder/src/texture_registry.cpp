#include "texture_registry.h"

#include <cstdio>
#include <future>
#include <thread>

namespace corvane::embedder::internal {

struct TextureRegistry::FetchRequest {
  int64_t textureId = -1;
  std::promise<std::shared_ptr<const TextureFrame>> result;
};

namespace {

void RefuseRegistration(const char* reason) {
  std::fprintf(stderr, "corvane embedder: texture registration refused: %s\n", reason);
}

}  // namespace

TextureRegistry::TextureRegistry(std::chrono::microseconds frameInterval, std::chrono::microseconds descriptorHold,
                                 bool copyDisplayedFrames)
    : frameInterval_(frameInterval),
      descriptorHold_(descriptorHold),
      copyDisplayedFrames_(copyDisplayedFrames),
      raster_([this] { RunRaster(); }) {}

TextureRegistry::~TextureRegistry() {
  Stop();
  std::vector<std::thread> late;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    late.swap(lateCompletions_);
  }
  for (std::thread& thread : late) thread.join();
}

int64_t TextureRegistry::Register(const FlutterDesktopTextureInfo* info) {
  if (info == nullptr) {
    RefuseRegistration("no texture information");
    return -1;
  }
  auto texture = std::make_shared<Texture>();
  switch (RawEnumValue(info->type)) {
    case kFlutterDesktopPixelBufferTexture:
      texture->type = kFlutterDesktopPixelBufferTexture;
      texture->pixelCallback = info->pixel_buffer_config.callback;
      texture->userData = info->pixel_buffer_config.user_data;
      if (texture->pixelCallback == nullptr) {
        RefuseRegistration("pixel-buffer texture without callback");
        return -1;
      }
      break;
    case kFlutterDesktopGpuSurfaceTexture: {
      const FlutterDesktopGpuSurfaceTextureConfig& config = info->gpu_surface_config;
      if (config.struct_size != sizeof(FlutterDesktopGpuSurfaceTextureConfig)) {
        RefuseRegistration("GPU-surface configuration has the wrong struct_size");
        return -1;
      }
      // On Linux the handle is a memfd, which plays the shared handle's part.
      if (RawEnumValue(config.type) != kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle) {
        RefuseRegistration("GPU-surface type is not the shared-handle type");
        return -1;
      }
      if (config.callback == nullptr) {
        RefuseRegistration("GPU-surface texture without callback");
        return -1;
      }
      texture->type = kFlutterDesktopGpuSurfaceTexture;
      texture->surfaceCallback = config.callback;
      texture->userData = config.user_data;
      break;
    }
    default:
      RefuseRegistration("unknown texture type");
      return -1;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopped_) {
    RefuseRegistration("the engine has shut down");
    return -1;
  }
  texture->id = nextId_++;
  textures_.emplace(texture->id, texture);
  return texture->id;
}

void TextureRegistry::Unregister(int64_t textureId, void (*completion)(void*), void* userData) {
  Completion done{completion, userData};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = textures_.find(textureId);
    if (found == textures_.end() || found->second->unregistering) {
      std::fprintf(stderr, "corvane embedder: unregistering texture %lld, which is not registered\n",
                   static_cast<long long>(textureId));
    } else {
      found->second->unregistering = true;
      frames_.notify_all();
    }
    if (!stopped_) {
      unregistered_.emplace_back(textureId, done);
      rasterWake_.notify_one();
      return;
    }
  }
  CompleteLate(done);
}

void TextureRegistry::CompleteLate(Completion completion) {
  if (completion.callback == nullptr) return;
  std::lock_guard<std::mutex> lock(mutex_);
  lateCompletions_.emplace_back([completion] { completion.callback(completion.userData); });
}

bool TextureRegistry::MarkFrameAvailable(int64_t textureId) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = textures_.find(textureId);
  if (found == textures_.end() || found->second->unregistering) return false;
  ++found->second->marks;
  rasterWake_.notify_one();
  return true;
}

void TextureRegistry::RunRaster() {
  std::unique_lock<std::mutex> lock(mutex_);
  auto nextTick = std::chrono::steady_clock::now();
  for (;;) {
    if (!unregistered_.empty()) {
      std::vector<std::pair<int64_t, Completion>> finished;
      finished.swap(unregistered_);
      for (const auto& entry : finished) {
        auto found = textures_.find(entry.first);
        if (found != textures_.end() && found->second->unregistering) textures_.erase(found);
      }
      lock.unlock();
      // No fetch is in flight: this thread is the only one that fetches.
      for (const auto& entry : finished) {
        if (entry.second.callback != nullptr) entry.second.callback(entry.second.userData);
      }
      lock.lock();
      continue;
    }
    if (!fetchRequests_.empty()) {
      std::shared_ptr<FetchRequest> request = fetchRequests_.front();
      fetchRequests_.pop_front();
      auto found = textures_.find(request->textureId);
      if (stopped_ || found == textures_.end() || found->second->unregistering) {
        request->result.set_value(nullptr);
        continue;
      }
      std::shared_ptr<Texture> texture = found->second;
      const uint64_t marks = texture->marks;
      lock.unlock();
      std::shared_ptr<TextureFrame> frame = FetchNow(*texture, marks, true);
      lock.lock();
      Publish(*texture, frame, marks);
      request->result.set_value(frame);
      continue;
    }
    if (stopped_) return;

    std::vector<std::shared_ptr<Texture>> due;
    for (const auto& entry : textures_) {
      if (!entry.second->unregistering && entry.second->marks > entry.second->fetchedMarks) {
        due.push_back(entry.second);
      }
    }
    if (due.empty()) {
      rasterWake_.wait(lock);
      continue;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < nextTick) {
      rasterWake_.wait_until(lock, nextTick);
      continue;
    }
    nextTick = now + frameInterval_;
    for (const std::shared_ptr<Texture>& texture : due) {
      if (texture->unregistering || stopped_) continue;
      const uint64_t marks = texture->marks;
      lock.unlock();
      std::shared_ptr<TextureFrame> frame = FetchNow(*texture, marks, copyDisplayedFrames_);
      lock.lock();
      Publish(*texture, frame, marks);
    }
  }
}

std::shared_ptr<TextureFrame> TextureRegistry::FetchNow(Texture& texture, uint64_t marks, bool copy) {
  if (!copy) {
    if (texture.type == kFlutterDesktopPixelBufferTexture) {
      const FlutterDesktopPixelBuffer* buffer =
          texture.pixelCallback(texture.requestedWidth, texture.requestedHeight, texture.userData);
      if (buffer != nullptr && buffer->release_callback != nullptr) buffer->release_callback(buffer->release_context);
    } else {
      const FlutterDesktopGpuSurfaceDescriptor* descriptor =
          texture.surfaceCallback(texture.requestedWidth, texture.requestedHeight, texture.userData);
      if (descriptor != nullptr) {
        if (descriptorHold_.count() > 0) std::this_thread::sleep_for(descriptorHold_);
        if (descriptor->release_callback != nullptr) descriptor->release_callback(descriptor->release_context);
      }
    }
    return nullptr;
  }
  // Sized by the last fetch: a texture's frames mostly keep their size.
  std::shared_ptr<TextureFrame> frame = pixelPool_->NewFrame(texture.requestedWidth * texture.requestedHeight * 4);
  frame->textureId = texture.id;
  frame->marks = marks;
  const size_t askedWidth = texture.requestedWidth;
  const size_t askedHeight = texture.requestedHeight;
  if (texture.type == kFlutterDesktopPixelBufferTexture) {
    const FlutterDesktopPixelBuffer* buffer = texture.pixelCallback(askedWidth, askedHeight, texture.userData);
    if (buffer == nullptr) return frame;
    frame->problem = ReadPixelBuffer(*buffer, &frame->bgra, &frame->width, &frame->height);
    if (buffer->release_callback != nullptr) buffer->release_callback(buffer->release_context);
  } else {
    const FlutterDesktopGpuSurfaceDescriptor* descriptor =
        texture.surfaceCallback(askedWidth, askedHeight, texture.userData);
    if (descriptor == nullptr) return frame;
    if (descriptorHold_.count() > 0) std::this_thread::sleep_for(descriptorHold_);
    frame->problem = texture.reader.Read(*descriptor, &frame->bgra, &frame->width, &frame->height);
    if (descriptor->release_callback != nullptr) {
      descriptor->release_callback(descriptor->release_context);
    } else {
      std::fprintf(stderr, "corvane embedder: texture %lld returned a descriptor without release callback\n",
                   static_cast<long long>(texture.id));
    }
  }
  if (frame->problem.empty()) {
    frame->outcome = TextureFrame::Outcome::kPixels;
    texture.requestedWidth = frame->width;
    texture.requestedHeight = frame->height;
  } else {
    frame->outcome = TextureFrame::Outcome::kRejected;
    frame->bgra.clear();
    frame->width = frame->height = 0;
    std::fprintf(stderr, "corvane embedder: texture %lld: %s\n", static_cast<long long>(texture.id),
                 frame->problem.c_str());
  }
  return frame;
}

void TextureRegistry::Publish(Texture& texture, std::shared_ptr<TextureFrame> frame, uint64_t marks) {
  ++texture.fetches;
  if (marks > texture.fetchedMarks) texture.fetchedMarks = marks;
  if (!frame) return;  // fetched without a copy: the latest copy stays
  frame->fetchNumber = texture.fetches;
  texture.latest = std::move(frame);
  frames_.notify_all();
}

std::shared_ptr<const TextureFrame> TextureRegistry::Fetch(int64_t textureId, std::chrono::milliseconds timeout) {
  if (IsRasterThread()) {
    std::fprintf(stderr, "corvane embedder: a texture fetch asked for on the raster thread would wait for itself\n");
    return nullptr;
  }
  auto request = std::make_shared<FetchRequest>();
  request->textureId = textureId;
  std::future<std::shared_ptr<const TextureFrame>> result = request->result.get_future();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_ || textures_.count(textureId) == 0) return nullptr;
    fetchRequests_.push_back(request);
    rasterWake_.notify_one();
  }
  if (result.wait_for(timeout) != std::future_status::ready) return nullptr;
  return result.get();
}

std::shared_ptr<const TextureFrame> TextureRegistry::Latest(int64_t textureId) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = textures_.find(textureId);
  return found == textures_.end() ? nullptr : found->second->latest;
}

std::shared_ptr<const TextureFrame> TextureRegistry::WaitForFrame(
    int64_t textureId, const std::function<bool(const TextureFrame&)>& accept, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  uint64_t judgedFetch = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    auto found = textures_.find(textureId);
    if (found == textures_.end() || found->second->unregistering) return nullptr;
    std::shared_ptr<const TextureFrame> latest = found->second->latest;
    if (latest && latest->fetchNumber != judgedFetch) {
      judgedFetch = latest->fetchNumber;
      if (latest->HasPixels()) {
        // The caller's predicate runs without the lock.
        lock.unlock();
        const bool accepted = accept(*latest);
        lock.lock();
        if (accepted) return latest;
        continue;
      }
    }
    if (frames_.wait_until(lock, deadline) == std::cv_status::timeout) return nullptr;
  }
}

uint64_t TextureRegistry::Marks(int64_t textureId) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = textures_.find(textureId);
  return found == textures_.end() ? 0 : found->second->marks;
}

bool TextureRegistry::IsRegistered(int64_t textureId) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = textures_.find(textureId);
  return found != textures_.end() && !found->second->unregistering;
}

void TextureRegistry::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  rasterWake_.notify_one();
  frames_.notify_all();
  if (raster_.joinable()) raster_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  textures_.clear();
}

}  // namespace corvane::embedder::internal
