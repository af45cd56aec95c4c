// The flutter_linux types of the fake: the public interfaces and base
// classes with the functions of <flutter_linux/flutter_linux.h>, and the
// engine's own implementations of them (Fake*), which forward to the
// EngineCore.
#include <flutter_linux/flutter_linux.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine_core.h"

using fake_flutter_linux::Engine;
using fake_flutter_linux::internal::EngineCore;
using fake_flutter_linux::internal::ObjectPtr;
using fake_flutter_linux::internal::Retain;

namespace {

// The C++ side every fake object carries: its engine.
struct CoreHold {
  std::shared_ptr<EngineCore> core;
};

}  // namespace

// --- the public types ---------------------------------------------------

G_DEFINE_QUARK(fl_binary_messenger_codec_error_quark, fl_binary_messenger_codec_error)

G_DEFINE_INTERFACE(FlBinaryMessenger, fl_binary_messenger, G_TYPE_OBJECT)
static void fl_binary_messenger_default_init(FlBinaryMessengerInterface*) {}

void fl_binary_messenger_set_message_handler_on_channel(FlBinaryMessenger* messenger, const gchar* channel,
                                                        FlBinaryMessengerMessageHandler handler,
                                                        gpointer user_data, GDestroyNotify destroy_notify) {
  g_return_if_fail(FL_IS_BINARY_MESSENGER(messenger));
  FL_BINARY_MESSENGER_GET_IFACE(messenger)->set_message_handler_on_channel(messenger, channel, handler, user_data,
                                                                           destroy_notify);
}

gboolean fl_binary_messenger_send_response(FlBinaryMessenger* messenger,
                                           FlBinaryMessengerResponseHandle* response_handle, GBytes* response,
                                           GError** error) {
  g_return_val_if_fail(FL_IS_BINARY_MESSENGER(messenger), FALSE);
  return FL_BINARY_MESSENGER_GET_IFACE(messenger)->send_response(messenger, response_handle, response, error);
}

void fl_binary_messenger_send_on_channel(FlBinaryMessenger* messenger, const gchar* channel, GBytes* message,
                                         GCancellable* cancellable, GAsyncReadyCallback callback,
                                         gpointer user_data) {
  g_return_if_fail(FL_IS_BINARY_MESSENGER(messenger));
  FL_BINARY_MESSENGER_GET_IFACE(messenger)->send_on_channel(messenger, channel, message, cancellable, callback,
                                                            user_data);
}

G_DEFINE_TYPE(FlBinaryMessengerResponseHandle, fl_binary_messenger_response_handle, G_TYPE_OBJECT)
static void fl_binary_messenger_response_handle_class_init(FlBinaryMessengerResponseHandleClass*) {}
static void fl_binary_messenger_response_handle_init(FlBinaryMessengerResponseHandle*) {}

G_DEFINE_INTERFACE(FlTexture, fl_texture, G_TYPE_OBJECT)
static void fl_texture_default_init(FlTextureInterface*) {}

int64_t fl_texture_get_id(FlTexture* texture) {
  g_return_val_if_fail(FL_IS_TEXTURE(texture), -1);
  return FL_TEXTURE_GET_IFACE(texture)->get_id(texture);
}

typedef struct {
  int64_t id;
} FlPixelBufferTexturePrivate;

static void fl_pixel_buffer_texture_texture_iface_init(FlTextureInterface* iface);

G_DEFINE_TYPE_WITH_CODE(FlPixelBufferTexture, fl_pixel_buffer_texture, G_TYPE_OBJECT,
                        G_ADD_PRIVATE(FlPixelBufferTexture)
                            G_IMPLEMENT_INTERFACE(fl_texture_get_type(), fl_pixel_buffer_texture_texture_iface_init))

static void fl_pixel_buffer_texture_set_id(FlTexture* texture, int64_t id) {
  auto* priv = static_cast<FlPixelBufferTexturePrivate*>(
      fl_pixel_buffer_texture_get_instance_private(FL_PIXEL_BUFFER_TEXTURE(texture)));
  priv->id = id;
}

static int64_t fl_pixel_buffer_texture_get_id(FlTexture* texture) {
  auto* priv = static_cast<FlPixelBufferTexturePrivate*>(
      fl_pixel_buffer_texture_get_instance_private(FL_PIXEL_BUFFER_TEXTURE(texture)));
  return priv->id;
}

static void fl_pixel_buffer_texture_texture_iface_init(FlTextureInterface* iface) {
  iface->set_id = fl_pixel_buffer_texture_set_id;
  iface->get_id = fl_pixel_buffer_texture_get_id;
}

static void fl_pixel_buffer_texture_class_init(FlPixelBufferTextureClass*) {}
static void fl_pixel_buffer_texture_init(FlPixelBufferTexture*) {}

G_DEFINE_INTERFACE(FlTextureRegistrar, fl_texture_registrar, G_TYPE_OBJECT)
static void fl_texture_registrar_default_init(FlTextureRegistrarInterface*) {}

gboolean fl_texture_registrar_register_texture(FlTextureRegistrar* registrar, FlTexture* texture) {
  g_return_val_if_fail(FL_IS_TEXTURE_REGISTRAR(registrar) && FL_IS_TEXTURE(texture), FALSE);
  return FL_TEXTURE_REGISTRAR_GET_IFACE(registrar)->register_texture(registrar, texture);
}

gboolean fl_texture_registrar_mark_texture_frame_available(FlTextureRegistrar* registrar, FlTexture* texture) {
  g_return_val_if_fail(FL_IS_TEXTURE_REGISTRAR(registrar) && FL_IS_TEXTURE(texture), FALSE);
  return FL_TEXTURE_REGISTRAR_GET_IFACE(registrar)->mark_texture_frame_available(registrar, texture);
}

gboolean fl_texture_registrar_unregister_texture(FlTextureRegistrar* registrar, FlTexture* texture) {
  g_return_val_if_fail(FL_IS_TEXTURE_REGISTRAR(registrar) && FL_IS_TEXTURE(texture), FALSE);
  return FL_TEXTURE_REGISTRAR_GET_IFACE(registrar)->unregister_texture(registrar, texture);
}

G_DEFINE_INTERFACE(FlPluginRegistrar, fl_plugin_registrar, G_TYPE_OBJECT)
static void fl_plugin_registrar_default_init(FlPluginRegistrarInterface*) {}

FlBinaryMessenger* fl_plugin_registrar_get_messenger(FlPluginRegistrar* registrar) {
  g_return_val_if_fail(FL_IS_PLUGIN_REGISTRAR(registrar), nullptr);
  return FL_PLUGIN_REGISTRAR_GET_IFACE(registrar)->get_messenger(registrar);
}

FlTextureRegistrar* fl_plugin_registrar_get_texture_registrar(FlPluginRegistrar* registrar) {
  g_return_val_if_fail(FL_IS_PLUGIN_REGISTRAR(registrar), nullptr);
  return FL_PLUGIN_REGISTRAR_GET_IFACE(registrar)->get_texture_registrar(registrar);
}

FlView* fl_plugin_registrar_get_view(FlPluginRegistrar* registrar) {
  g_return_val_if_fail(FL_IS_PLUGIN_REGISTRAR(registrar), nullptr);
  return FL_PLUGIN_REGISTRAR_GET_IFACE(registrar)->get_view(registrar);
}

G_DEFINE_INTERFACE(FlPluginRegistry, fl_plugin_registry, G_TYPE_OBJECT)
static void fl_plugin_registry_default_init(FlPluginRegistryInterface*) {}

FlPluginRegistrar* fl_plugin_registry_get_registrar_for_plugin(FlPluginRegistry* registry, const gchar* name) {
  g_return_val_if_fail(FL_IS_PLUGIN_REGISTRY(registry), nullptr);
  return FL_PLUGIN_REGISTRY_GET_IFACE(registry)->get_registrar_for_plugin(registry, name);
}

// --- the engine's implementations ----------------------------------------

// A response handle that answers the Dart side's message once.
struct ResponseState {
  std::shared_ptr<EngineCore> core;
  Engine::ReplyHandler reply;
  std::mutex mutex;
  bool answered = false;  // guarded by mutex
};

G_DECLARE_FINAL_TYPE(FakeResponseHandle, fake_response_handle, FAKE, RESPONSE_HANDLE, FlBinaryMessengerResponseHandle)
struct _FakeResponseHandle {
  FlBinaryMessengerResponseHandle parent_instance;
  ResponseState* state;  // owned
};
G_DEFINE_TYPE(FakeResponseHandle, fake_response_handle, fl_binary_messenger_response_handle_get_type())

static void fake_response_handle_finalize(GObject* object) {
  std::unique_ptr<ResponseState> state(FAKE_RESPONSE_HANDLE(object)->state);  // Adopt
  bool answered = false;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    answered = state->answered;
  }
  if (!answered) {
    if (!state->core->IsShutDown()) state->core->Violation("a message's last response handle went unanswered");
    state->reply(std::nullopt);
  }
  G_OBJECT_CLASS(fake_response_handle_parent_class)->finalize(object);
}
static void fake_response_handle_class_init(FakeResponseHandleClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = fake_response_handle_finalize;
}
static void fake_response_handle_init(FakeResponseHandle*) {}

// Any thread, as flutter_linux allows since 3.7.
static gboolean Respond(FlBinaryMessengerResponseHandle* handle, GBytes* response, GError** error) {
  ResponseState& state = *FAKE_RESPONSE_HANDLE(handle)->state;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.answered) {
      state.core->Violation("a message answered twice");
      g_set_error(error, FL_BINARY_MESSENGER_ERROR, FL_BINARY_MESSENGER_ERROR_ALREADY_RESPONDED,
                  "already responded");
      return FALSE;
    }
    state.answered = true;
  }
  if (!state.core->CheckAlive("response sent")) {
    state.reply(std::nullopt);
    return FALSE;
  }
  std::vector<uint8_t> bytes;
  if (response != nullptr) {
    gsize size = 0;
    const auto* data = static_cast<const uint8_t*>(g_bytes_get_data(response, &size));
    bytes.assign(data, data + size);
  }
  state.reply(std::move(bytes));
  return TRUE;
}

G_DECLARE_FINAL_TYPE(FakeMessenger, fake_messenger, FAKE, MESSENGER, GObject)
struct _FakeMessenger {
  GObject parent_instance;
  CoreHold* hold;  // owned
};
static void fake_messenger_iface_init(FlBinaryMessengerInterface* iface);
G_DEFINE_TYPE_WITH_CODE(FakeMessenger, fake_messenger, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(fl_binary_messenger_get_type(), fake_messenger_iface_init))

static void fake_messenger_finalize(GObject* object) {
  std::unique_ptr<CoreHold> hold(FAKE_MESSENGER(object)->hold);  // Adopt
  G_OBJECT_CLASS(fake_messenger_parent_class)->finalize(object);
}
static void fake_messenger_class_init(FakeMessengerClass* klass) { G_OBJECT_CLASS(klass)->finalize = fake_messenger_finalize; }
static void fake_messenger_init(FakeMessenger*) {}

static void fake_messenger_iface_init(FlBinaryMessengerInterface* iface) {
  iface->set_message_handler_on_channel = [](FlBinaryMessenger* messenger, const gchar* channel,
                                             FlBinaryMessengerMessageHandler handler, gpointer user_data,
                                             GDestroyNotify destroy_notify) {
    FAKE_MESSENGER(messenger)->hold->core->SetHandler(channel, handler, user_data, destroy_notify);
  };
  iface->send_response = [](FlBinaryMessenger*, FlBinaryMessengerResponseHandle* handle, GBytes* response,
                            GError** error) { return Respond(handle, response, error); };
  iface->send_on_channel = [](FlBinaryMessenger* messenger, const gchar* channel, GBytes* message, GCancellable*,
                              GAsyncReadyCallback callback, gpointer) {
    FAKE_MESSENGER(messenger)->hold->core->SendToDart(channel, message, callback);
  };
}

G_DECLARE_FINAL_TYPE(FakeTextureRegistrar, fake_texture_registrar, FAKE, TEXTURE_REGISTRAR, GObject)
struct _FakeTextureRegistrar {
  GObject parent_instance;
  CoreHold* hold;  // owned
};
static void fake_texture_registrar_iface_init(FlTextureRegistrarInterface* iface);
G_DEFINE_TYPE_WITH_CODE(FakeTextureRegistrar, fake_texture_registrar, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(fl_texture_registrar_get_type(), fake_texture_registrar_iface_init))

static void fake_texture_registrar_finalize(GObject* object) {
  std::unique_ptr<CoreHold> hold(FAKE_TEXTURE_REGISTRAR(object)->hold);  // Adopt
  G_OBJECT_CLASS(fake_texture_registrar_parent_class)->finalize(object);
}
static void fake_texture_registrar_class_init(FakeTextureRegistrarClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = fake_texture_registrar_finalize;
}
static void fake_texture_registrar_init(FakeTextureRegistrar*) {}

static EngineCore& CoreOf(FlTextureRegistrar* registrar) { return *FAKE_TEXTURE_REGISTRAR(registrar)->hold->core; }

static void fake_texture_registrar_iface_init(FlTextureRegistrarInterface* iface) {
  iface->register_texture = [](FlTextureRegistrar* registrar, FlTexture* texture) {
    if (!FL_IS_PIXEL_BUFFER_TEXTURE(texture)) return FALSE;  // the fake shows pixel buffers only
    return CoreOf(registrar).RegisterTexture(texture);
  };
  iface->mark_texture_frame_available = [](FlTextureRegistrar* registrar, FlTexture* texture) {
    return CoreOf(registrar).MarkTexture(texture);
  };
  iface->unregister_texture = [](FlTextureRegistrar* registrar, FlTexture* texture) {
    return CoreOf(registrar).UnregisterTexture(texture);
  };
}

// What the registry hands out per plugin, and what it holds itself.
struct EngineObjects {
  std::shared_ptr<EngineCore> core;
  ObjectPtr<FlBinaryMessenger> messenger;
  ObjectPtr<FlTextureRegistrar> textures;
};

G_DECLARE_FINAL_TYPE(FakePluginRegistrar, fake_plugin_registrar, FAKE, PLUGIN_REGISTRAR, GObject)
struct _FakePluginRegistrar {
  GObject parent_instance;
  EngineObjects* objects;  // owned
};
static void fake_plugin_registrar_iface_init(FlPluginRegistrarInterface* iface);
G_DEFINE_TYPE_WITH_CODE(FakePluginRegistrar, fake_plugin_registrar, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(fl_plugin_registrar_get_type(), fake_plugin_registrar_iface_init))

static void fake_plugin_registrar_finalize(GObject* object) {
  std::unique_ptr<EngineObjects> objects(FAKE_PLUGIN_REGISTRAR(object)->objects);  // Adopt
  G_OBJECT_CLASS(fake_plugin_registrar_parent_class)->finalize(object);
}
static void fake_plugin_registrar_class_init(FakePluginRegistrarClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = fake_plugin_registrar_finalize;
}
static void fake_plugin_registrar_init(FakePluginRegistrar*) {}

static void fake_plugin_registrar_iface_init(FlPluginRegistrarInterface* iface) {
  iface->get_messenger = [](FlPluginRegistrar* registrar) {
    return FAKE_PLUGIN_REGISTRAR(registrar)->objects->messenger.get();
  };
  iface->get_texture_registrar = [](FlPluginRegistrar* registrar) {
    return FAKE_PLUGIN_REGISTRAR(registrar)->objects->textures.get();
  };
  // Headless: no view.
  iface->get_view = [](FlPluginRegistrar*) -> FlView* { return nullptr; };
}

G_DECLARE_FINAL_TYPE(FakeRegistry, fake_registry, FAKE, REGISTRY, GObject)
struct _FakeRegistry {
  GObject parent_instance;
  EngineObjects* objects;  // owned
};
static void fake_registry_iface_init(FlPluginRegistryInterface* iface);
G_DEFINE_TYPE_WITH_CODE(FakeRegistry, fake_registry, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(fl_plugin_registry_get_type(), fake_registry_iface_init))

static void fake_registry_finalize(GObject* object) {
  std::unique_ptr<EngineObjects> objects(FAKE_REGISTRY(object)->objects);  // Adopt
  G_OBJECT_CLASS(fake_registry_parent_class)->finalize(object);
}
static void fake_registry_class_init(FakeRegistryClass* klass) { G_OBJECT_CLASS(klass)->finalize = fake_registry_finalize; }
static void fake_registry_init(FakeRegistry*) {}

static void fake_registry_iface_init(FlPluginRegistryInterface* iface) {
  // (transfer full), as the generated registrant expects.
  iface->get_registrar_for_plugin = [](FlPluginRegistry* registry, const gchar*) -> FlPluginRegistrar* {
    const EngineObjects& own = *FAKE_REGISTRY(registry)->objects;
    auto* registrar = FAKE_PLUGIN_REGISTRAR(g_object_new(fake_plugin_registrar_get_type(), nullptr));
    registrar->objects = std::make_unique<EngineObjects>(
                             EngineObjects{own.core, Retain(own.messenger.get()), Retain(own.textures.get())})
                             .release();
    return FL_PLUGIN_REGISTRAR(registrar);
  };
}

namespace fake_flutter_linux::internal {

ObjectPtr<FlPluginRegistry> NewRegistry(const std::shared_ptr<EngineCore>& core) {
  auto* messenger = FAKE_MESSENGER(g_object_new(fake_messenger_get_type(), nullptr));
  messenger->hold = std::make_unique<CoreHold>(CoreHold{core}).release();
  auto* textures = FAKE_TEXTURE_REGISTRAR(g_object_new(fake_texture_registrar_get_type(), nullptr));
  textures->hold = std::make_unique<CoreHold>(CoreHold{core}).release();
  core->SetMessenger(FL_BINARY_MESSENGER(messenger));
  auto* registry = FAKE_REGISTRY(g_object_new(fake_registry_get_type(), nullptr));
  registry->objects = std::make_unique<EngineObjects>(EngineObjects{
                                                          core,
                                                          ObjectPtr<FlBinaryMessenger>(FL_BINARY_MESSENGER(messenger)),
                                                          ObjectPtr<FlTextureRegistrar>(FL_TEXTURE_REGISTRAR(textures)),
                                                      })
                          .release();
  return ObjectPtr<FlPluginRegistry>(FL_PLUGIN_REGISTRY(registry));
}

ObjectPtr<FlBinaryMessengerResponseHandle> NewResponseHandle(const std::shared_ptr<EngineCore>& core,
                                                             Engine::ReplyHandler onReply) {
  auto* handle = FAKE_RESPONSE_HANDLE(g_object_new(fake_response_handle_get_type(), nullptr));
  handle->state = std::make_unique<ResponseState>().release();
  handle->state->core = core;
  handle->state->reply = std::move(onReply);
  return ObjectPtr<FlBinaryMessengerResponseHandle>(FL_BINARY_MESSENGER_RESPONSE_HANDLE(handle));
}

}  // namespace fake_flutter_linux::internal
