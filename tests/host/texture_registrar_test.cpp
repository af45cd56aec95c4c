// Texture registration paths the real host library cannot produce: variants
// that are empty or whose callback throws, and unregistering with and without
// a completion. Registration and fetches are covered end to end by
// tests/embedder.
#include <gtest/gtest.h>

#include <stdexcept>

#include "fake_embedding.h"
#include "host/texture_registrar_impl.h"

namespace {

using flutter::GpuSurfaceTexture;
using flutter::PixelBufferTexture;
using flutter::TextureVariant;

class TextureRegistrarTest : public testing::Test {
 protected:
  void SetUp() override { fake_embedding::Reset(); }

  flutter::TextureRegistrarImpl registrar_{fake_embedding::TextureRegistrarRef()};
};

struct ThrowsOnConversion {
  operator PixelBufferTexture::CopyBufferCallback() const { throw std::runtime_error("no callback"); }
};

TEST_F(TextureRegistrarTest, NullOrEmptyVariant_IsRefusedWithoutCallingTheEngine) {
  TextureVariant valueless(PixelBufferTexture([](size_t, size_t) { return nullptr; }));
  EXPECT_THROW(valueless.emplace<PixelBufferTexture>(ThrowsOnConversion{}), std::runtime_error);
  ASSERT_TRUE(valueless.valueless_by_exception());

  testing::internal::CaptureStderr();
  EXPECT_EQ(registrar_.RegisterTexture(nullptr), -1);
  EXPECT_EQ(registrar_.RegisterTexture(&valueless), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Attempting to register unknown texture variant.\n"
            "Attempting to register unknown texture variant.\n");
  EXPECT_TRUE(fake_embedding::state().textures.empty());
}

TEST_F(TextureRegistrarTest, ThrowingTextureFunction_YieldsNoFrame) {
  TextureVariant texture(GpuSurfaceTexture(kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle,
                                           [](size_t, size_t) -> const FlutterDesktopGpuSurfaceDescriptor* {
                                             throw std::runtime_error("device lost");
                                           }));
  registrar_.RegisterTexture(&texture);
  const auto& config = fake_embedding::state().textures.at(0).info.gpu_surface_config;
  testing::internal::CaptureStderr();
  EXPECT_EQ(config.callback(8, 8, config.user_data), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exception from a texture callback: device lost\n");
}

TEST_F(TextureRegistrarTest, Unregister_RunsItsCompletionOnce_WhenTheEngineIsDone) {
  int completions = 0;
  registrar_.UnregisterTexture(100, [&completions] { ++completions; });
  EXPECT_TRUE(registrar_.UnregisterTexture(101));
  const auto& calls = fake_embedding::state().unregistrations;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].id, 100);
  ASSERT_NE(calls[0].callback, nullptr);
  EXPECT_EQ(completions, 0);
  calls[0].callback(calls[0].userData);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(calls[1].id, 101);
  EXPECT_EQ(calls[1].callback, nullptr);
  EXPECT_EQ(calls[1].userData, nullptr);
}

}  // namespace
