// A read-only view of a shared-memory texture handed over by its file
// descriptor (a memfd of the Linux surface device), for a reader in this
// process: the Flutter Linux binding copies each displayed frame out of it.
//
// The mapping is kept while the same object comes back (the same descriptor
// naming the same device and inode, large enough), so a texture read at
// every frame is mapped once; a descriptor number reused for another object
// is mapped anew.
//
// One reader thread at a time.
#ifndef CORVANE_PLATFORM_LINUX_SHARED_MEMORY_VIEW_H_
#define CORVANE_PLATFORM_LINUX_SHARED_MEMORY_VIEW_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane::platform {

class SharedMemoryView {
 public:
  SharedMemoryView() = default;
  ~SharedMemoryView();
  SharedMemoryView(const SharedMemoryView&) = delete;
  SharedMemoryView& operator=(const SharedMemoryView&) = delete;

  // Views at least `bytes` of the object `fd` names. "" on success, else
  // why not (the view is then empty).
  std::string View(int fd, size_t bytes);
  // The first byte viewed; null while empty.
  const uint8_t* data() const { return static_cast<const uint8_t*>(address_); }

 private:
  void Unmap();

  void* address_ = nullptr;
  size_t size_ = 0;
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_LINUX_SHARED_MEMORY_VIEW_H_
