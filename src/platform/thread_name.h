// Names the calling thread for debuggers and system tools; best effort.
#ifndef CORVANE_PLATFORM_THREAD_NAME_H_
#define CORVANE_PLATFORM_THREAD_NAME_H_

namespace corvane::platform {

// `name` is ASCII; Linux keeps its first 15 characters.
void NameCurrentThread(const char* name) noexcept;

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_THREAD_NAME_H_
