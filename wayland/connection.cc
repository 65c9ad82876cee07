#include "connection.h"

#include "host.h"
#include "options.h"
#include "surfaces.h"
#include "layer_shell.h"
#include "xdg-shell-client-protocol.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

wl_display *display;
wl_compositor *compositor;
wl_shm *shm;
xdg_wm_base *wm_base;
zwlr_layer_shell_v1 *layer_shell;
std::vector<Output *> outputs;

namespace {

wl_registry *registry;
std::uint32_t compositor_version;

// damage_buffer came with version 4 of wl_compositor, names of outputs
// with version 4 of wl_output.
constexpr std::uint32_t COMPOSITOR_VERSION = 4;
constexpr std::uint32_t OUTPUT_VERSION = 4;

std::uint32_t lower(std::uint32_t a, std::uint32_t b) { return a < b ? a : b; }

void on_ping(void *, xdg_wm_base *base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }

const xdg_wm_base_listener wm_base_listener = {on_ping};

void on_geometry(void *, wl_output *, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                 std::int32_t, const char *, const char *, std::int32_t) {}

void on_mode(void *, wl_output *, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}

void on_scale(void *data, wl_output *, std::int32_t factor) {
    static_cast<Output *>(data)->pending_scale = factor < 1 ? 1 : factor;
}

void on_name(void *data, wl_output *, const char *name) {
    Output *output = static_cast<Output *>(data);
    std::free(output->name);
    const std::size_t length = std::strlen(name);
    output->name = static_cast<char *>(xmalloc(length + 1));
    std::memcpy(output->name, name, length + 1);
}

void on_description(void *, wl_output *, const char *) {}

void on_done(void *data, wl_output *) {
    Output *output = static_cast<Output *>(data);
    output->scale = output->pending_scale;
    output->done = true;
    output_changed(*output);
}

const wl_output_listener output_listener = {on_geometry, on_mode,  on_done,
                                            on_scale,    on_name,  on_description};

void add_output(std::uint32_t global, std::uint32_t version) {
    // Names are what -output goes by; without them no output could be
    // told from another.
    if (version < OUTPUT_VERSION && !output_names.empty())
        fatal_error("The Wayland compositor does not name its outputs (wl_output version 4), "
                    "which -output needs");
    Output *output = new Output{};
    output->global = global;
    output->scale = 1;
    output->pending_scale = 1;
    output->output = static_cast<wl_output *>(wl_registry_bind(
        registry, global, &wl_output_interface, lower(version, OUTPUT_VERSION)));
    wl_output_add_listener(output->output, &output_listener, output);
    outputs.push_back(output);
}

void free_output(Output *output) {
    if (wl_output_get_version(output->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(output->output);
    else
        wl_output_destroy(output->output);
    std::free(output->name);
    delete output;
}

void on_global(void *, wl_registry *, std::uint32_t global, const char *interface,
               std::uint32_t version) {
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && compositor == nullptr) {
        compositor_version = version;
        if (version >= COMPOSITOR_VERSION)
            compositor = static_cast<wl_compositor *>(
                wl_registry_bind(registry, global, &wl_compositor_interface, COMPOSITOR_VERSION));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && shm == nullptr) {
        shm = static_cast<wl_shm *>(wl_registry_bind(registry, global, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0 && !background &&
               wm_base == nullptr) {
        wm_base = static_cast<xdg_wm_base *>(
            wl_registry_bind(registry, global, &xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(wm_base, &wm_base_listener, nullptr);
    } else if (is_layer_shell(interface) && background && layer_shell == nullptr) {
        layer_shell = bind_layer_shell(registry, global, version);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        add_output(global, version);
    }
}

void on_global_remove(void *, wl_registry *, std::uint32_t global) {
    for (std::size_t i = 0; i < outputs.size(); i++) {
        if (outputs[i]->global != global)
            continue;
        Output *output = outputs[i];
        outputs.erase(outputs.begin() + static_cast<std::ptrdiff_t>(i));
        output_removed(*output);
        free_output(output);
        return;
    }
}

const wl_registry_listener registry_listener = {on_global, on_global_remove};

// The display's name as libwayland looks for it.
const char *name_tried() {
    if (display_name != nullptr && display_name[0] != '\0')
        return display_name;
    const char *from_environment = std::getenv("WAYLAND_DISPLAY");
    return from_environment != nullptr && from_environment[0] != '\0' ? from_environment
                                                                     : "wayland-0";
}

void round_trip() {
    if (wl_display_roundtrip(display) < 0)
        connection_lost();
}

}  // namespace

void connect_to_compositor() {
    // An empty name leaves the choice to WAYLAND_DISPLAY, as for X.
    display = wl_display_connect(display_name != nullptr && display_name[0] != '\0' ? display_name
                                                                                   : nullptr);
    if (display == nullptr)
        fatal_error("Cannot connect to the Wayland compositor [%s]", name_tried());
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, nullptr);
    // The globals, then what the bound ones tell at once: the outputs'
    // names and scales.
    round_trip();
    if (compositor == nullptr && compositor_version > 0)
        fatal_error("The Wayland compositor has wl_compositor version %u; the clock needs "
                    "version 4",
                    compositor_version);
    if (compositor == nullptr)
        fatal_error("The Wayland compositor lacks wl_compositor");
    if (shm == nullptr)
        fatal_error("The Wayland compositor lacks wl_shm, the shared memory buffers");
    if (background && layer_shell == nullptr)
        fatal_error("The Wayland compositor lacks zwlr_layer_shell_v1, the layer shell "
                    "that -background needs");
    if (!background && wm_base == nullptr)
        fatal_error("The Wayland compositor lacks xdg_wm_base, the shell that a window needs");
    round_trip();
}

Output *output_of(wl_output *output) {
    for (Output *known : outputs)
        if (known->output == output)
            return known;
    return nullptr;
}

void connection_lost() {
    const int error = wl_display_get_error(display);
    if (error == EPROTO) {
        const wl_interface *interface = nullptr;
        std::uint32_t id = 0;
        const std::uint32_t code = wl_display_get_protocol_error(display, &interface, &id);
        fatal_error("The Wayland compositor reported error %u on %s@%u", code,
                    interface != nullptr ? interface->name : "an object", id);
    }
    // A compositor that ends closes the connection (or resets it, with a
    // request of the clock still unread): it went away, for no other reason
    // that the clock could name.
    if (error != 0 && error != EPIPE && error != ECONNRESET)
        fatal_error("Lost the connection to the Wayland compositor: %s", std::strerror(error));
    fatal_error("Lost the connection to the Wayland compositor");
}

void disconnect_from_compositor() {
    for (Output *output : outputs)
        free_output(output);
    outputs.clear();
    if (layer_shell != nullptr) {
        destroy_layer_shell(layer_shell);
        layer_shell = nullptr;
    }
    if (wm_base != nullptr) {
        xdg_wm_base_destroy(wm_base);
        wm_base = nullptr;
    }
    wl_shm_destroy(shm);
    shm = nullptr;
    wl_compositor_destroy(compositor);
    compositor = nullptr;
    wl_registry_destroy(registry);
    registry = nullptr;
    wl_display_flush(display);
    wl_display_disconnect(display);
    display = nullptr;
}
