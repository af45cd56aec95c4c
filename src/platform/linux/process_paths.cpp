#include "platform/process_paths.h"

#include <unistd.h>

#include <climits>
#include <vector>

namespace corvane::platform {

std::string ExecutablePath() {
  std::vector<char> buffer(PATH_MAX);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(length));
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

std::string WorkingDirectory() {
  std::vector<char> buffer(PATH_MAX);
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

}  // namespace corvane::platform
