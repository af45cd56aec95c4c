#include "window_runner.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "headless_runner.h"
#include "key_map.h"
#include "playback_steps.h"
#include "status_bar.h"

namespace corvane::play {

namespace {

struct TextureDeleter {
  void operator()(SDL_Texture* texture) const { SDL_DestroyTexture(texture); }
};
using SdlTexture = std::unique_ptr<SDL_Texture, TextureDeleter>;

constexpr int kInitialWidth = 960;
constexpr int kInitialVideoHeight = 540;
constexpr auto kFrameTime = std::chrono::milliseconds(16);
// Plugin events handled per drawn frame at most, so a flood cannot freeze
// the window.
constexpr int kEventsPerFrame = 200;

// SDL_PIXELFORMAT_ARGB8888 is B, G, R, A in memory on little-endian
// machines: the textures' own layout, so frames are uploaded unconverted.
constexpr Uint32 kBgraFormat = SDL_PIXELFORMAT_ARGB8888;

// One player's picture on the GPU side.
struct PlayerPicture {
  SdlTexture texture;
  int width = 0, height = 0;
  uint64_t videoFetch = 0, subtitleFetch = 0;
  bool subtitlesShown = false;
  std::chrono::steady_clock::time_point lastSubtitleRetry{};
};

constexpr auto kSubtitleRetryInterval = std::chrono::milliseconds(250);
constexpr auto kSubtitleRetryTimeout = std::chrono::milliseconds(100);

}  // namespace

struct Window::Parts {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  ~Parts() {
    if (renderer != nullptr) SDL_DestroyRenderer(renderer);
    if (window != nullptr) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
};

Window::Window(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
Window::~Window() = default;

std::unique_ptr<Window> Window::Open(const Options& options, std::string* error) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    *error = std::string("no display: ") + SDL_GetError();
    return nullptr;
  }
  auto parts = std::make_unique<Parts>();
  const std::string title = "corvane-play: " + options.source;
  parts->window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kInitialWidth,
                                   kInitialVideoHeight + kStatusBarHeight, SDL_WINDOW_RESIZABLE);
  if (parts->window == nullptr) {
    *error = std::string("cannot open a window: ") + SDL_GetError();
    return nullptr;
  }
  parts->renderer = SDL_CreateRenderer(parts->window, -1, SDL_RENDERER_ACCELERATED);
  if (parts->renderer == nullptr) parts->renderer = SDL_CreateRenderer(parts->window, -1, SDL_RENDERER_SOFTWARE);
  if (parts->renderer == nullptr) {
    *error = std::string("cannot draw in the window: ") + SDL_GetError();
    return nullptr;
  }
  return std::unique_ptr<Window>(new Window(std::move(parts)));
}

namespace {

// One run of the window: main thread only, like the session it drives.
class WindowLoop {
 public:
  WindowLoop(SDL_Renderer* renderer, const Options& options, PluginSession& session, std::ostream& out,
             std::ostream& err)
      : renderer_(renderer), options_(options), session_(session), out_(out), err_(err), presses_(options.presses) {
    std::stable_sort(presses_.begin(), presses_.end(),
                     [](const KeyPressRequest& a, const KeyPressRequest& b) { return a.atMs < b.atMs; });
  }

  int Run() {
    session_.SetReplyObserver([this](int64_t, const PluginCall& call, const embedder::MethodResponse& response) {
      if (!response.IsSuccess()) ReportProblem("\"" + call.method + "\": " + response.Describe());
    });
    // The session outlives this loop and disposes its players later.
    struct ObserverReset {
      PluginSession& session;
      ~ObserverReset() { session.SetReplyObserver(nullptr); }
    } observerReset{session_};
    std::string error;
    if (!StartPlayers(session_, options_, &error)) {
      err_ << "corvane-play: " << error << '\n';
      return kExitPlaybackFailed;
    }
    pictures_.resize(session_.players().size());
    const auto started = std::chrono::steady_clock::now();
    bool screenshotTaken = false;
    while (!quit_) {
      const auto frameStart = std::chrono::steady_clock::now();
      HandleInput();
      HandlePluginEvents();
      PressDueKeys();
      Draw();
      if (options_.screenshotAfter && !screenshotTaken &&
          frameStart - started >= std::chrono::milliseconds(options_.screenshotAfter->atMs)) {
        screenshotTaken = true;
        SaveScreenshot(options_.screenshotAfter->file);
      }
      SDL_RenderPresent(renderer_);
      if (DurationReached()) break;
      const auto spent = std::chrono::steady_clock::now() - frameStart;
      if (spent < kFrameTime) {
        SDL_Delay(static_cast<Uint32>(std::chrono::duration_cast<std::chrono::milliseconds>(kFrameTime - spent).count()));
      }
    }
    return failed_ ? kExitPlaybackFailed : kExitOk;
  }

 private:
  void ReportProblem(const std::string& problem) {
    err_ << "corvane-play: " << problem << '\n';
    problem_ = problem;
    failed_ = true;
  }

  void HandleInput() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) {
        quit_ = true;
      } else if (event.type == SDL_KEYDOWN) {
        const KeyPress press = MapSdlKey(event.key.keysym.sym);
        if (press.quit) quit_ = true;
        if (press.key) OnKey(*press.key);
      }
    }
  }

  // A key acts on every player, as one remote control for the grid.
  void OnKey(Key key) {
    for (PluginSession::Player& player : session_.players()) {
      session_.SendAll(player.view.id, KeyCalls(key, &player.view));
    }
    if (key == Key::kSubtitles || key == Key::kNextSubtitle) {
      // The subtitle texture is fetched only when it changes; fetch it now
      // so turning subtitles on shows the current cue at once.
      for (size_t i = 0; i < pictures_.size(); ++i) {
        session_.engine().FetchTexture(session_.players()[i].view.subtitleTextureId, std::chrono::milliseconds(200));
        pictures_[i].subtitleFetch = 0;
      }
    }
  }

  void HandlePluginEvents() {
    for (int n = 0; n < kEventsPerFrame; ++n) {
      auto arrival = session_.NextEvent(std::chrono::milliseconds(0));
      if (!arrival) return;
      if (HandleEvent(session_, options_, arrival->player, arrival->event) == EventKind::kError) {
        const PlayerView& view = session_.players()[arrival->player].view;
        err_ << "corvane-play: player " << view.id << ": cannot play '" << options_.source
             << "': " << ExplainPlayerError(view.error) << '\n';
        failed_ = true;
      }
    }
  }

  // Scripted presses go through SDL's queue, the road of real key presses.
  void PressDueKeys() {
    if (session_.players().empty()) return;
    const int64_t position = session_.players()[0].view.positionMs;
    while (nextPress_ < presses_.size() && presses_[nextPress_].atMs <= position) {
      for (const std::string& name : presses_[nextPress_].keys) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = SdlKeycodeFromName(name);
        SDL_PushEvent(&event);
      }
      ++nextPress_;
    }
  }

  bool DurationReached() const {
    if (!options_.durationMs) return false;
    for (const PluginSession::Player& player : session_.players()) {
      const PlayerView& view = player.view;
      const bool over = view.phase == Phase::kFailed || view.phase == Phase::kFinished ||
                        view.playedMs >= *options_.durationMs;
      if (!over) return false;
    }
    return true;
  }

  // Re-uploads a player's picture when either texture has been fetched
  // again, or subtitles were turned on or off.
  void UpdatePicture(size_t index) {
    PluginSession::Player& player = session_.players()[index];
    PlayerPicture& picture = pictures_[index];
    auto video = session_.engine().LatestFrame(player.view.id);
    auto subtitle = session_.engine().LatestFrame(player.view.subtitleTextureId);
    // A texture is fetched when it is marked; a fetch that ran before the
    // plugin had made the texture came back empty, and the next mark may
    // be seconds away (the next cue). Fetch again now and then meanwhile.
    const auto now = std::chrono::steady_clock::now();
    if (player.view.showSubtitles && (!subtitle || !subtitle->HasPixels()) &&
        now - picture.lastSubtitleRetry >= kSubtitleRetryInterval) {
      picture.lastSubtitleRetry = now;
      if (auto fetched = session_.engine().FetchTexture(player.view.subtitleTextureId, kSubtitleRetryTimeout)) {
        subtitle = fetched;
      }
    }
    const uint64_t videoFetch = video ? video->fetchNumber : 0;
    const uint64_t subtitleFetch = subtitle ? subtitle->fetchNumber : 0;
    if (videoFetch == picture.videoFetch && subtitleFetch == picture.subtitleFetch &&
        player.view.showSubtitles == picture.subtitlesShown) {
      return;
    }
    const BgraImage image = session_.Picture(player, /*fetchNow=*/false);
    picture.videoFetch = videoFetch;
    picture.subtitleFetch = subtitleFetch;
    picture.subtitlesShown = player.view.showSubtitles;
    if (!image.Valid()) return;
    if (!picture.texture || picture.width != image.width || picture.height != image.height) {
      picture.texture.reset(SDL_CreateTexture(renderer_, kBgraFormat, SDL_TEXTUREACCESS_STREAMING, image.width,
                                              image.height));  // Adopt
      picture.width = image.width;
      picture.height = image.height;
      if (!picture.texture) {
        ReportProblem(std::string("cannot make a texture: ") + SDL_GetError());
        return;
      }
    }
    SDL_UpdateTexture(picture.texture.get(), nullptr, image.pixels.data(), image.width * 4);
  }

  void Draw() {
    int width = 0, height = 0;
    SDL_GetRendererOutputSize(renderer_, &width, &height);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    const Rect videoArea{0, 0, width, std::max(0, height - kStatusBarHeight)};
    const std::vector<Rect> cells = GridCells(static_cast<int>(pictures_.size()), videoArea);
    for (size_t i = 0; i < pictures_.size(); ++i) {
      UpdatePicture(i);
      const PlayerPicture& picture = pictures_[i];
      if (!picture.texture) continue;
      const Rect fit = AspectFit(picture.width, picture.height, cells[i]);
      const SDL_Rect target{fit.x, fit.y, fit.width, fit.height};
      SDL_RenderCopy(renderer_, picture.texture.get(), nullptr, &target);
    }
    DrawStatus(width, height);
  }

  void DrawStatus(int width, int height) {
    std::string text;
    bool alarm = !problem_.empty();
    if (!session_.players().empty()) {
      const PlayerView& first = session_.players()[0].view;
      text = StatusLine(first);
      alarm = alarm || first.phase == Phase::kFailed;
      if (session_.players().size() > 1) text = std::to_string(session_.players().size()) + " players  " + text;
    }
    if (!problem_.empty()) text += "  | " + problem_;
    if (text != statusText_ || width != statusWidth_ || alarm != statusAlarm_) {
      statusText_ = text;
      statusWidth_ = width;
      statusAlarm_ = alarm;
      const BgraImage bar = RenderStatusBar(text, width, alarm);
      statusTexture_.reset();
      if (bar.Valid()) {
        statusTexture_.reset(
            SDL_CreateTexture(renderer_, kBgraFormat, SDL_TEXTUREACCESS_STATIC, bar.width, bar.height));  // Adopt
        if (statusTexture_) SDL_UpdateTexture(statusTexture_.get(), nullptr, bar.pixels.data(), bar.width * 4);
      }
    }
    if (statusTexture_) {
      const SDL_Rect target{0, height - kStatusBarHeight, statusWidth_, kStatusBarHeight};
      SDL_RenderCopy(renderer_, statusTexture_.get(), nullptr, &target);
    }
  }

  void SaveScreenshot(const std::string& file) {
    BgraImage shot;
    SDL_GetRendererOutputSize(renderer_, &shot.width, &shot.height);
    shot.pixels.resize(static_cast<size_t>(shot.width) * shot.height * 4);
    if (SDL_RenderReadPixels(renderer_, nullptr, kBgraFormat, shot.pixels.data(), shot.width * 4) != 0) {
      ReportProblem(std::string("cannot read the window's pixels: ") + SDL_GetError());
      return;
    }
    for (size_t i = 3; i < shot.pixels.size(); i += 4) shot.pixels[i] = 255;  // the window is opaque
    const std::string problem = WritePng(shot, file);
    if (!problem.empty()) {
      ReportProblem(problem);
      return;
    }
    out_ << "screenshot: " << file << '\n';
    out_.flush();
  }

  SDL_Renderer* renderer_;
  const Options& options_;
  PluginSession& session_;
  std::ostream& out_;
  std::ostream& err_;
  std::vector<PlayerPicture> pictures_;
  SdlTexture statusTexture_;
  std::string statusText_;
  int statusWidth_ = 0;
  bool statusAlarm_ = false;
  std::string problem_;
  bool failed_ = false;
  bool quit_ = false;
  std::vector<KeyPressRequest> presses_;  // by time
  size_t nextPress_ = 0;
};

}  // namespace

int Window::Run(const Options& options, PluginSession& session, std::ostream& out, std::ostream& err) {
  return WindowLoop(parts_->renderer, options, session, out, err).Run();
}

}  // namespace corvane::play
