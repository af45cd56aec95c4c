// An owned file descriptor, closed when the owner goes.
#ifndef CORVANE_PLATFORM_LINUX_UNIQUE_FD_H_
#define CORVANE_PLATFORM_LINUX_UNIQUE_FD_H_

#include <unistd.h>

#include <utility>

namespace corvane::platform::linux_surfaces {

class UniqueFd {
 public:
  UniqueFd() = default;
  // Adopt: takes over an fd the caller opened.
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
};

}  // namespace corvane::platform::linux_surfaces

#endif  // CORVANE_PLATFORM_LINUX_UNIQUE_FD_H_
