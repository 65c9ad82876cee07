#include "layer_shell.h"

#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <string.h>

enum { LAYER_SHELL_VERSION = 4 };

static void on_configure(void *data, struct zwlr_layer_surface_v1 *layer, uint32_t serial,
                         uint32_t width, uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    background_configured(data, width, height);
}

static void on_closed(void *data, struct zwlr_layer_surface_v1 *layer) {
    (void)layer;
    background_closed(data);
}

static const struct zwlr_layer_surface_v1_listener layer_listener = {on_configure, on_closed};

int is_layer_shell(const char *interface) {
    return strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0;
}

struct zwlr_layer_shell_v1 *bind_layer_shell(struct wl_registry *registry, uint32_t name,
                                             uint32_t version) {
    return wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface,
                            version < LAYER_SHELL_VERSION ? version : LAYER_SHELL_VERSION);
}

void destroy_layer_shell(struct zwlr_layer_shell_v1 *shell) {
    /* The request came with version 3; before it the proxy goes alone. */
    if (zwlr_layer_shell_v1_get_version(shell) >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)
        zwlr_layer_shell_v1_destroy(shell);
    else
        wl_proxy_destroy((struct wl_proxy *)shell);
}

struct zwlr_layer_surface_v1 *create_background_layer(struct zwlr_layer_shell_v1 *shell,
                                                      struct wl_surface *surface,
                                                      struct wl_output *output, void *data) {
    struct zwlr_layer_surface_v1 *layer = zwlr_layer_shell_v1_get_layer_surface(
        shell, surface, output, ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND, "wallpaper");
    zwlr_layer_surface_v1_set_anchor(layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(layer, 0, 0);
    zwlr_layer_surface_v1_set_exclusive_zone(layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer, 0);
    zwlr_layer_surface_v1_add_listener(layer, &layer_listener, data);
    return layer;
}

void destroy_background_layer(struct zwlr_layer_surface_v1 *layer) {
    zwlr_layer_surface_v1_destroy(layer);
}
