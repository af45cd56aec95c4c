// Owning reference to a COM or Windows Runtime object.
//
// Every interface pointer the Windows adapters keep lives in a ComRef. The
// wrap site says which kind of reference it holds:
//   AdoptCom   takes over a reference the caller already owns (an object
//              just created, or one an out-parameter handed back);
//   RetainCom  adds a reference of its own to an object somebody else owns
//              (an argument of a callback, a borrowed pointer).
// Out-parameters are filled through Receive(), which adopts what the callee
// hands back. Copies AddRef, moves do not; destruction Releases. Works off
// Windows against the stand-in IUnknown of winrt_base.h.
#ifndef CORVANE_PLATFORM_WINDOWS_COM_REF_H_
#define CORVANE_PLATFORM_WINDOWS_COM_REF_H_

#include <cstddef>
#include <type_traits>
#include <utility>

#include "platform/windows/winrt_base.h"

namespace corvane::platform::winrt {

template <typename T>
class ComRef;

template <typename T>
ComRef<T> AdoptCom(T* object) noexcept;
template <typename T>
ComRef<T> RetainCom(T* object) noexcept;

template <typename T>
class ComRef {
 public:
  ComRef() noexcept = default;
  ComRef(std::nullptr_t) noexcept {}
  ComRef(const ComRef& other) noexcept : object_(other.object_) { AddRefHeld(); }
  ComRef(ComRef&& other) noexcept : object_(other.Detach()) {}
  // A reference to an implementation or a derived interface converts to one
  // to its base, as the raw pointers do.
  template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComRef(const ComRef<U>& other) noexcept : object_(other.get()) {
    AddRefHeld();
  }
  template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComRef(ComRef<U>&& other) noexcept : object_(other.Detach()) {}
  ComRef& operator=(ComRef other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ComRef() { Reset(); }

  T* get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

  void Reset() noexcept {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }
  // Gives up the reference without releasing it, to hand it to a caller
  // through an out-parameter.
  [[nodiscard]] T* Detach() noexcept { return std::exchange(object_, nullptr); }
  // For an out-parameter that returns a new reference: drops what is held
  // and lets the callee write the new pointer in place.
  T** Receive() noexcept {
    Reset();
    return &object_;
  }

  // QueryInterface into `result`. On failure `result` is empty and the
  // callee's code (E_NOINTERFACE for an interface the object lacks) is
  // returned. The IID is U::kIid unless given, which generic instantiations
  // sharing one C++ type need.
  template <typename U>
  HRESULT As(const GUID& iid, ComRef<U>* result) const {
    result->Reset();
    if (!object_) return kNullPointer;
    void* raw = nullptr;
    const HRESULT code = object_->QueryInterface(iid, &raw);
    if (code >= 0 && raw) *result = AdoptCom(static_cast<U*>(raw));
    return code;
  }
  template <typename U>
  HRESULT As(ComRef<U>* result) const {
    return As(U::kIid, result);
  }

 private:
  friend ComRef AdoptCom<T>(T* object) noexcept;
  friend ComRef RetainCom<T>(T* object) noexcept;
  explicit ComRef(T* object) noexcept : object_(object) {}
  void AddRefHeld() noexcept {
    if (object_) object_->AddRef();
  }

  T* object_ = nullptr;
};

template <typename T>
ComRef<T> AdoptCom(T* object) noexcept {
  return ComRef<T>(object);
}

template <typename T>
ComRef<T> RetainCom(T* object) noexcept {
  if (object) object->AddRef();
  return ComRef<T>(object);
}

}  // namespace corvane::platform::winrt

#endif  // CORVANE_PLATFORM_WINDOWS_COM_REF_H_
