// The frame path's own cost per frame at 1080p: a steady frame reuses its
// texture, so Render plus one host fetch should cost about what the copy
// itself costs. Reference: a plain memcpy of the same frame.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "render/frame_surface.h"

namespace {

constexpr uint32_t kWidth = 1920;
constexpr uint32_t kHeight = 1080;
constexpr size_t kFrameBytes = size_t{kWidth} * kHeight * 4;

void BM_MemcpyFrame(benchmark::State& state) {
  std::vector<uint8_t> source(kFrameBytes, 0x40), target(kFrameBytes);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), kFrameBytes);
    benchmark::DoNotOptimize(target.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrameBytes);
}
BENCHMARK(BM_MemcpyFrame);

// One steady video frame: Render copies into the reused texture, then the
// host fetches and releases the descriptor.
void BM_SteadyVideoFrame(benchmark::State& state) {
  auto surface = std::make_shared<corvane::render::FrameSurface>(corvane::render::SurfaceKind::Video,
                                                                 corvane::platform::CreateSharedMemoryDevice());
  surface->SetWantedSize(kWidth, kHeight);
  std::vector<uint8_t> source(kFrameBytes, 0x40);
  auto copy = [&](corvane::platform::VideoSurface& target) {
    corvane::platform::PixelView pixels = target.Texture()->Pixels();
    std::memcpy(pixels.data, source.data(), kFrameBytes);
  };
  surface->Render(copy);  // the one creation, outside the timing
  for (auto _ : state) {
    surface->Render(copy);
    const FlutterDesktopGpuSurfaceDescriptor* descriptor = surface->ObtainDescriptor();
    benchmark::DoNotOptimize(descriptor->handle);
    descriptor->release_callback(descriptor->release_context);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrameBytes);
}
BENCHMARK(BM_SteadyVideoFrame);

}  // namespace

BENCHMARK_MAIN();
