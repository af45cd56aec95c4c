// Registrar wrappers: one per engine registrar, owning the plugins and
// destroying them first when the engine destroys the registrar.
#include <gtest/gtest.h>

#include "channel_test_support.h"
#include "host/plugin_registrar_manager.h"

namespace {

using corvane_test::ChannelTest;
using flutter::PluginRegistrarManager;
using flutter::PluginRegistrarWindows;

class RegistrarTest : public ChannelTest {};

// On destruction, uses the messenger and texture registrar as a real plugin
// does in its destructor.
class TidyPlugin : public flutter::Plugin {
 public:
  TidyPlugin(PluginRegistrarWindows* registrar, int* destroyed) : registrar_(registrar), destroyed_(destroyed) {}
  ~TidyPlugin() override {
    ++*destroyed_;
    registrar_->messenger()->Send("CorvanePlugin/1", nullptr, 0);
    registrar_->texture_registrar()->UnregisterTexture(101);
    registrar_->messenger()->SetMessageHandler("CorvanePlugin", nullptr);
  }

 private:
  PluginRegistrarWindows* registrar_;
  int* destroyed_;
};

TEST_F(RegistrarTest, SecondRequestForAHandle_ReturnsTheFirstWrapper) {
  const auto handle = fake_embedding::NewRegistrarRef();
  PluginRegistrarWindows* first = PluginRegistrarManager::GetInstance()->GetRegistrar(handle);
  PluginRegistrarWindows* second =
      PluginRegistrarManager::GetInstance()->GetRegistrar<PluginRegistrarWindows>(handle);
  EXPECT_EQ(first, second);
  // The discarded wrapper still queried the engine, and the handler was set
  // again.
  EXPECT_EQ(fake_embedding::state().messenger_queries, 2);
  EXPECT_EQ(fake_embedding::state().texture_registrar_queries, 2);
  EXPECT_EQ(fake_embedding::state().view_queries, 2);
  EXPECT_EQ(fake_embedding::state().destruction_handlers.count(handle), 1u);
  fake_embedding::DestroyRegistrar(handle);
}

TEST_F(RegistrarTest, EngineDestroyingTheRegistrar_DestroysPluginsWhileMessengerStillWorks) {
  const auto handle = fake_embedding::NewRegistrarRef();
  PluginRegistrarWindows* registrar = PluginRegistrarManager::GetInstance()->GetRegistrar(handle);
  int destroyed = 0;
  registrar->AddPlugin(std::make_unique<TidyPlugin>(registrar, &destroyed));
  registrar->AddPlugin(std::make_unique<TidyPlugin>(registrar, &destroyed));

  fake_embedding::DestroyRegistrar(handle);
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(fake_embedding::state().sent.size(), 2u);
  EXPECT_EQ(fake_embedding::state().unregistrations.size(), 2u);

  // The next registrar gets a fresh wrapper with no plugins.
  const auto next = fake_embedding::NewRegistrarRef();
  PluginRegistrarWindows* fresh = PluginRegistrarManager::GetInstance()->GetRegistrar(next);
  ASSERT_NE(fresh, nullptr);
  fake_embedding::DestroyRegistrar(next);
  EXPECT_EQ(destroyed, 2);
}

}  // namespace
