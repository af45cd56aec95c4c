#include "platform/linux/shared_memory_view.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace corvane::platform {

SharedMemoryView::~SharedMemoryView() { Unmap(); }

std::string SharedMemoryView::View(int fd, size_t bytes) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    Unmap();
    return std::string("the texture's fd cannot be examined: ") + std::strerror(errno);
  }
  if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) < bytes) {
    Unmap();
    return "the texture's fd holds fewer bytes than asked for";
  }
  if (address_ != nullptr && fd == fd_ && info.st_dev == device_ && info.st_ino == inode_ && size_ >= bytes) {
    return {};
  }
  Unmap();
  void* address = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_SHARED, fd, 0);
  if (address == MAP_FAILED) return std::string("the texture's fd cannot be mapped: ") + std::strerror(errno);
  address_ = address;
  size_ = static_cast<size_t>(info.st_size);
  fd_ = fd;
  device_ = info.st_dev;
  inode_ = info.st_ino;
  return {};
}

void SharedMemoryView::Unmap() {
  if (address_ != nullptr) ::munmap(address_, size_);
  address_ = nullptr;
  size_ = 0;
  fd_ = -1;
}

}  // namespace corvane::platform
