// How the adapters reach Windows Runtime classes: a default-constructed
// instance (RoActivateInstance), or a class's activation factory or statics
// (RoGetActivationFactory). Everything the media engine adapter creates goes
// through this one seam, so that tests can hand it fakes of the classes,
// natively on Linux as well as under Wine, which has none of them.
//
// Threads: any; the system's activation is free-threaded.
#ifndef CORVANE_PLATFORM_WINDOWS_RUNTIME_ACTIVATION_H_
#define CORVANE_PLATFORM_WINDOWS_RUNTIME_ACTIVATION_H_

#include <memory>

#include "platform/hresult.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/winrt_base.h"

namespace corvane::platform::winrt {

class RuntimeActivation {
 public:
  virtual ~RuntimeActivation() = default;
  // The class's default constructor. REGDB_E_CLASSNOTREG where the class
  // does not exist (Wine, Windows N without the Media Feature Pack).
  virtual HRESULT ActivateInstance(const wchar_t* className, IInspectable** instance) = 0;
  // The class's factory or statics interface `iid`.
  virtual HRESULT GetActivationFactory(const wchar_t* className, const GUID& iid, void** factory) = 0;
};

#ifdef _WIN32
// The system's activation. Lives for the process.
std::shared_ptr<RuntimeActivation> SystemRuntimeActivation();
#endif

// An instance of `className` as interface I. Raises hresult_error with the
// activation's or the QueryInterface's code.
template <typename I>
ComRef<I> ActivateAs(RuntimeActivation& activation, const wchar_t* className) {
  ComRef<IInspectable> instance;
  const HRESULT code = activation.ActivateInstance(className, instance.Receive());
  if (code < 0) throw hresult_error(code, "activating a runtime class failed");
  ComRef<I> typed;
  const HRESULT asked = instance.As(&typed);
  if (asked < 0) throw hresult_error(asked, "a runtime class lacks an interface");
  return typed;
}

// The factory or statics interface I of `className`. Raises hresult_error.
template <typename I>
ComRef<I> FactoryOf(RuntimeActivation& activation, const wchar_t* className) {
  ComRef<I> factory;
  void* raw = nullptr;
  const HRESULT code = activation.GetActivationFactory(className, I::kIid, &raw);
  if (code < 0) throw hresult_error(code, "no activation factory for a runtime class");
  if (!raw) throw hresult_error(kFail, "an activation factory came back empty");
  factory = AdoptCom(static_cast<I*>(raw));
  return factory;
}

}  // namespace corvane::platform::winrt

#endif  // CORVANE_PLATFORM_WINDOWS_RUNTIME_ACTIVATION_H_
