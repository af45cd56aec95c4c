#include "platform/windows/runtime_activation.h"

#include <roapi.h>

#include "platform/windows/hstring.h"

namespace corvane::platform::winrt {
namespace {

class SystemActivation final : public RuntimeActivation {
 public:
  HRESULT ActivateInstance(const wchar_t* className, IInspectable** instance) override {
    return ToHresult([&] {
      const HString name = CopyHString(className);
      const HRESULT code = RoActivateInstance(name.get(), instance);
      if (code < 0) throw hresult_error(code);
    });
  }
  HRESULT GetActivationFactory(const wchar_t* className, const GUID& iid, void** factory) override {
    return ToHresult([&] {
      const HString name = CopyHString(className);
      const HRESULT code = RoGetActivationFactory(name.get(), iid, factory);
      if (code < 0) throw hresult_error(code);
    });
  }
};

}  // namespace

std::shared_ptr<RuntimeActivation> SystemRuntimeActivation() {
  static const std::shared_ptr<RuntimeActivation> activation = std::make_shared<SystemActivation>();
  return activation;
}

}  // namespace corvane::platform::winrt
