/*
 * The layer shell, spoken from C: the header that wayland-scanner writes
 * for it names a parameter "namespace", which C++ cannot read, so only
 * layer_shell.c includes it.  The surfaces of quadrix-wayland are
 * background surfaces that cover their whole output.
 */
#ifndef QUADRIX_LAYER_SHELL_H
#define QUADRIX_LAYER_SHELL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct wl_output;
struct wl_registry;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

/* True when a global of the registry is the layer shell. */
int is_layer_shell(const char *interface);

/* Binds the layer shell at version 4, or the global's version if lower. */
struct zwlr_layer_shell_v1 *bind_layer_shell(struct wl_registry *registry, uint32_t name,
                                             uint32_t version);
void destroy_layer_shell(struct zwlr_layer_shell_v1 *shell);

/*
 * Gives surface the role of a background on output: on the background
 * layer, anchored to the output's four edges at the size the compositor
 * chooses, taking no room from other surfaces (exclusive zone -1) and no
 * keys, in the namespace "wallpaper".  Its configure events are
 * acknowledged and passed on to background_configured, its end to
 * background_closed, with data.  The surface is not committed.
 */
struct zwlr_layer_surface_v1 *create_background_layer(struct zwlr_layer_shell_v1 *shell,
                                                      struct wl_surface *surface,
                                                      struct wl_output *output, void *data);
void destroy_background_layer(struct zwlr_layer_surface_v1 *layer);

/* Defined by the surfaces. */
void background_configured(void *data, uint32_t width, uint32_t height);
void background_closed(void *data);

#ifdef __cplusplus
}
#endif

#endif
