// A fake of the Flutter Linux embedding's public header, for our tests: the
// part of flutter_linux's API that the plugin's binding and a generated
// registrant use, with the signatures of the real public headers, written
// by us from their documented declarations (no embedding source was read).
// libflutter_linux_gtk.so of tests/flutter_linux/fake implements it.
//
// Like the real umbrella header it pulls in GLib, GObject, GIO, GModule
// and GTK 3, so code built against it sees the same compile environment.
#ifndef FLUTTER_LINUX_FLUTTER_LINUX_H_
#define FLUTTER_LINUX_FLUTTER_LINUX_H_

#include <gio/gio.h>
#include <glib-object.h>
#include <gmodule.h>
#include <gtk/gtk.h>
#include <stdint.h>

G_BEGIN_DECLS

// fl_view.h: only the type, which the registrar may hand out.
typedef struct _FlView FlView;

// fl_binary_messenger.h
G_MODULE_EXPORT GQuark fl_binary_messenger_codec_error_quark(void) G_GNUC_CONST;
#define FL_BINARY_MESSENGER_ERROR fl_binary_messenger_codec_error_quark()
typedef enum {
  FL_BINARY_MESSENGER_ERROR_ALREADY_RESPONDED,
} FlBinaryMessengerError;

G_MODULE_EXPORT
G_DECLARE_INTERFACE(FlBinaryMessenger, fl_binary_messenger, FL, BINARY_MESSENGER, GObject)

G_MODULE_EXPORT
G_DECLARE_DERIVABLE_TYPE(FlBinaryMessengerResponseHandle, fl_binary_messenger_response_handle, FL,
                         BINARY_MESSENGER_RESPONSE_HANDLE, GObject)

struct _FlBinaryMessengerResponseHandleClass {
  GObjectClass parent_class;
};

typedef void (*FlBinaryMessengerMessageHandler)(FlBinaryMessenger* messenger, const gchar* channel, GBytes* message,
                                                FlBinaryMessengerResponseHandle* response_handle, gpointer user_data);

struct _FlBinaryMessengerInterface {
  GTypeInterface parent_iface;
  void (*set_message_handler_on_channel)(FlBinaryMessenger* messenger, const gchar* channel,
                                         FlBinaryMessengerMessageHandler handler, gpointer user_data,
                                         GDestroyNotify destroy_notify);
  gboolean (*send_response)(FlBinaryMessenger* messenger, FlBinaryMessengerResponseHandle* response_handle,
                            GBytes* response, GError** error);
  void (*send_on_channel)(FlBinaryMessenger* messenger, const gchar* channel, GBytes* message,
                          GCancellable* cancellable, GAsyncReadyCallback callback, gpointer user_data);
};

void fl_binary_messenger_set_message_handler_on_channel(FlBinaryMessenger* messenger, const gchar* channel,
                                                        FlBinaryMessengerMessageHandler handler,
                                                        gpointer user_data, GDestroyNotify destroy_notify);
gboolean fl_binary_messenger_send_response(FlBinaryMessenger* messenger,
                                           FlBinaryMessengerResponseHandle* response_handle, GBytes* response,
                                           GError** error);
void fl_binary_messenger_send_on_channel(FlBinaryMessenger* messenger, const gchar* channel, GBytes* message,
                                         GCancellable* cancellable, GAsyncReadyCallback callback,
                                         gpointer user_data);

// fl_texture.h
G_MODULE_EXPORT
G_DECLARE_INTERFACE(FlTexture, fl_texture, FL, TEXTURE, GObject)

struct _FlTextureInterface {
  GTypeInterface g_iface;
  void (*set_id)(FlTexture* texture, int64_t id);
  int64_t (*get_id)(FlTexture* texture);
};

int64_t fl_texture_get_id(FlTexture* texture);

// fl_pixel_buffer_texture.h
G_MODULE_EXPORT
G_DECLARE_DERIVABLE_TYPE(FlPixelBufferTexture, fl_pixel_buffer_texture, FL, PIXEL_BUFFER_TEXTURE, GObject)

struct _FlPixelBufferTextureClass {
  GObjectClass parent_class;
  gboolean (*copy_pixels)(FlPixelBufferTexture* texture, const uint8_t** buffer, uint32_t* width, uint32_t* height,
                          GError** error);
};

// fl_texture_registrar.h
G_MODULE_EXPORT
G_DECLARE_INTERFACE(FlTextureRegistrar, fl_texture_registrar, FL, TEXTURE_REGISTRAR, GObject)

struct _FlTextureRegistrarInterface {
  GTypeInterface parent_iface;
  gboolean (*register_texture)(FlTextureRegistrar* registrar, FlTexture* texture);
  FlTexture* (*lookup_texture)(FlTextureRegistrar* registrar, int64_t id);
  gboolean (*mark_texture_frame_available)(FlTextureRegistrar* registrar, FlTexture* texture);
  gboolean (*unregister_texture)(FlTextureRegistrar* registrar, FlTexture* texture);
  void (*shutdown)(FlTextureRegistrar* registrar);
};

gboolean fl_texture_registrar_register_texture(FlTextureRegistrar* registrar, FlTexture* texture);
gboolean fl_texture_registrar_mark_texture_frame_available(FlTextureRegistrar* registrar, FlTexture* texture);
gboolean fl_texture_registrar_unregister_texture(FlTextureRegistrar* registrar, FlTexture* texture);

// fl_plugin_registrar.h
G_MODULE_EXPORT
G_DECLARE_INTERFACE(FlPluginRegistrar, fl_plugin_registrar, FL, PLUGIN_REGISTRAR, GObject)

struct _FlPluginRegistrarInterface {
  GTypeInterface parent_iface;
  FlBinaryMessenger* (*get_messenger)(FlPluginRegistrar* registrar);
  FlTextureRegistrar* (*get_texture_registrar)(FlPluginRegistrar* registrar);
  FlView* (*get_view)(FlPluginRegistrar* registrar);
};

FlBinaryMessenger* fl_plugin_registrar_get_messenger(FlPluginRegistrar* registrar);
FlTextureRegistrar* fl_plugin_registrar_get_texture_registrar(FlPluginRegistrar* registrar);
FlView* fl_plugin_registrar_get_view(FlPluginRegistrar* registrar);

// fl_plugin_registry.h
G_MODULE_EXPORT
G_DECLARE_INTERFACE(FlPluginRegistry, fl_plugin_registry, FL, PLUGIN_REGISTRY, GObject)

struct _FlPluginRegistryInterface {
  GTypeInterface g_iface;
  FlPluginRegistrar* (*get_registrar_for_plugin)(FlPluginRegistry* registry, const gchar* name);
};

FlPluginRegistrar* fl_plugin_registry_get_registrar_for_plugin(FlPluginRegistry* registry, const gchar* name);

G_END_DECLS

#endif  // FLUTTER_LINUX_FLUTTER_LINUX_H_
