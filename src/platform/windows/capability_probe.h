// Whether the newer Windows facilities (dispatcher queues, the video frame
// server, subtitle rendering to surfaces) may be used: Windows 10 version
// 1803 or later, by the presence of their APIs.
#ifndef CORVANE_PLATFORM_WINDOWS_CAPABILITY_PROBE_H_
#define CORVANE_PLATFORM_WINDOWS_CAPABILITY_PROBE_H_

namespace corvane::platform::windows {

// Runs the probe and logs what it finds ("Pre-Windows 10 detected", or which
// API showed 1803 or later). The platform layer runs it once and keeps the
// answer (PlatformLayer::IsModernWindows, which logs the verdict). Any
// thread.
//
// The version check sees the version the process's manifest admits to:
// an executable without a supportedOS entry for Windows 10 is told 6.2 by
// Windows 8.1 and later, and by Wine. Flutter's runner declares Windows 10;
// a test program must do the same.
bool ProbeModernWindows();

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_CAPABILITY_PROBE_H_
