#include "surfaces.h"

#include "connection.h"
#include "host.h"
#include "options.h"
#include "ticks.h"
#include "utf8.h"
#include "layer_shell.h"
#include "xdg-shell-client-protocol.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

std::uint32_t pen_colours[5];
bool window_closed = false;

// The library draws into the list of fills that record_face keeps.
extern "C" void face_set_pen(int pen) { note_pen(pen); }
extern "C" void face_fill(int x0, int y0, int x1, int y1) { note_fill(x0, y0, x1, y1); }

namespace {

std::vector<Surface *> surfaces;
Surface *window;

// Scratch of the drawing: the new face, where it differs from what the
// compositor shows, and where from what the buffer holds.
FaceFills face;
std::vector<Box> damage;
std::vector<Box> repaint;

// The next picture is a whole one: a new size or scale.
void start_over(Surface &surface) { surface.committed.count = 0; }

void destroy_surface(Surface *surface) {
    destroy_buffers(surface->buffers);
    if (surface->layer != nullptr)
        destroy_background_layer(surface->layer);
    if (surface->toplevel != nullptr)
        xdg_toplevel_destroy(surface->toplevel);
    if (surface->xdg != nullptr)
        xdg_surface_destroy(surface->xdg);
    wl_surface_destroy(surface->surface);
    if (surface->output != nullptr)
        surface->output->background = nullptr;
    if (surface == window)
        window = nullptr;
    surfaces.erase(std::find(surfaces.begin(), surfaces.end(), surface));
    delete surface;
}

// The window's scale: the largest of the outputs it shows on, so that it
// is sharp on each.
void update_window_scale() {
    int scale = 1;
    for (const Output *output : window->entered)
        scale = std::max(scale, output->scale);
    if (scale != window->scale) {
        window->scale = scale;
        start_over(*window);
    }
}

void on_enter(void *data, wl_surface *, wl_output *entered) {
    Surface *surface = static_cast<Surface *>(data);
    Output *output = output_of(entered);
    if (surface != window || output == nullptr ||
        std::find(window->entered.begin(), window->entered.end(), output) !=
            window->entered.end())
        return;
    window->entered.push_back(output);
    update_window_scale();
}

void on_leave(void *data, wl_surface *, wl_output *left) {
    Surface *surface = static_cast<Surface *>(data);
    Output *output = output_of(left);
    if (surface != window || output == nullptr)
        return;
    std::erase(window->entered, output);
    update_window_scale();
}

const wl_surface_listener surface_listener = {on_enter, on_leave};

// A configure gives the size in the compositor's coordinates.
void take_size(Surface &surface, int width, int height) {
    if (width != surface.width || height != surface.height)
        start_over(surface);
    surface.width = width;
    surface.height = height;
    surface.configured = true;
    surface.unanswered = true;
}

void on_toplevel_configure(void *data, xdg_toplevel *, std::int32_t width, std::int32_t height,
                           wl_array *) {
    Surface *surface = static_cast<Surface *>(data);
    // Zero leaves that side to the clock: the size it asks for.
    surface->pending_width = width > 0 ? width : window_width;
    surface->pending_height = height > 0 ? height : window_height;
}

void on_toplevel_close(void *, xdg_toplevel *) { window_closed = true; }

void on_toplevel_bounds(void *, xdg_toplevel *, std::int32_t, std::int32_t) {}

void on_toplevel_capabilities(void *, xdg_toplevel *, wl_array *) {}

const xdg_toplevel_listener toplevel_listener = {on_toplevel_configure, on_toplevel_close,
                                                 on_toplevel_bounds, on_toplevel_capabilities};

void on_xdg_configure(void *data, xdg_surface *xdg, std::uint32_t serial) {
    Surface *surface = static_cast<Surface *>(data);
    xdg_surface_ack_configure(xdg, serial);
    take_size(*surface, surface->pending_width, surface->pending_height);
}

const xdg_surface_listener xdg_listener = {on_xdg_configure};

Surface *new_surface() {
    Surface *surface = new Surface{};
    surfaces.push_back(surface);
    surface->scale = 1;
    surface->committed_scale = 1;
    surface->surface = wl_compositor_create_surface(compositor);
    wl_surface_add_listener(surface->surface, &surface_listener, surface);
    return surface;
}

bool wanted(const Output &output) {
    if (output_names.empty())
        return true;
    for (const char *name : output_names)
        if (output.name != nullptr && std::strcmp(name, output.name) == 0)
            return true;
    return false;
}

void create_background(Output &output) {
    Surface *surface = new_surface();
    surface->output = &output;
    surface->scale = output.scale;
    output.background = surface;
    surface->layer =
        create_background_layer(layer_shell, surface->surface, output.output, surface);
    wl_surface_commit(surface->surface);
}

void draw(Surface &surface, int hour, int minute, int second) {
    if (!surface.configured || surface.width <= 0 || surface.height <= 0)
        return;
    const long long wide = 1LL * surface.width * surface.scale;
    const long long high = 1LL * surface.height * surface.scale;
    // wl_shm counts the bytes of a pool in an int32.
    if (4 * wide * high > INT_MAX)
        fatal_error("A buffer of %lld x %lld pixels is too large for shared memory", wide, high);
    const int width = static_cast<int>(wide);
    const int height = static_cast<int>(high);
    // A surface smaller than the face allows shows the top left of the
    // smallest face.
    record_face(face, hour, minute, second, at_least_minimum(width), at_least_minimum(height),
                border, 0, 0);
    const Box whole{0, 0, width, height};
    changed_boxes(surface.committed, face, damage, pen_colours);
    clip_boxes(damage, whole);
    if (damage.empty()) {
        // The same picture: only a configure waits for its commit.
        if (surface.unanswered)
            wl_surface_commit(surface.surface);
        surface.unanswered = false;
        surface.waiting = false;
        return;
    }
    Buffer *buffer = free_buffer(surface.buffers, width, height);
    surface.waiting = buffer == nullptr;
    if (buffer == nullptr)
        return;
    // The buffer may hold an older picture than the one committed last.
    changed_boxes(buffer->content, face, repaint, pen_colours);
    clip_boxes(repaint, whole);
    for (const Box &box : repaint)
        paint_fills(face, pen_colours, buffer->pixels, width, box);
    buffer->content = face;

    wl_surface_attach(surface.surface, buffer->buffer, 0, 0);
    if (surface.scale != surface.committed_scale) {
        wl_surface_set_buffer_scale(surface.surface, surface.scale);
        surface.committed_scale = surface.scale;
    }
    for (const Box &box : damage)
        wl_surface_damage_buffer(surface.surface, box.x, box.y, box.width, box.height);
    wl_surface_commit(surface.surface);
    buffer->busy = true;
    surface.committed = face;
    surface.unanswered = false;
}

}  // namespace

void background_configured(void *data, std::uint32_t width, std::uint32_t height) {
    take_size(*static_cast<Surface *>(data), static_cast<int>(std::min<std::uint32_t>(width, INT_MAX)),
              static_cast<int>(std::min<std::uint32_t>(height, INT_MAX)));
}

// The compositor takes the surface back, for instance when its output
// goes; the clock goes on with the others.
void background_closed(void *data) { destroy_surface(static_cast<Surface *>(data)); }

void create_window() {
    window = new_surface();
    window->xdg = xdg_wm_base_get_xdg_surface(wm_base, window->surface);
    xdg_surface_add_listener(window->xdg, &xdg_listener, window);
    window->toplevel = xdg_surface_get_toplevel(window->xdg);
    xdg_toplevel_add_listener(window->toplevel, &toplevel_listener, window);
    std::size_t length = 0;
    char *text = utf8_copy(window_title != nullptr ? window_title : program_name, &length);
    xdg_toplevel_set_title(window->toplevel, text);
    std::free(text);
    text = utf8_copy(window_app_id != nullptr ? window_app_id : program_name, &length);
    xdg_toplevel_set_app_id(window->toplevel, text);
    std::free(text);
    xdg_toplevel_set_min_size(window->toplevel, minimum_size(), minimum_size());
    wl_surface_commit(window->surface);
}

void output_changed(Output &output) {
    if (background && output.background == nullptr && wanted(output))
        create_background(output);
    else if (output.background != nullptr && output.background->scale != output.scale) {
        output.background->scale = output.scale;
        start_over(*output.background);
    }
    if (window != nullptr &&
        std::find(window->entered.begin(), window->entered.end(), &output) != window->entered.end())
        update_window_scale();
}

void output_removed(Output &output) {
    if (output.background != nullptr)
        destroy_surface(output.background);
    if (window != nullptr) {
        std::erase(window->entered, &output);
        update_window_scale();
    }
}

void draw_surfaces(bool tick) {
    bool time_read = false;
    int hour = 0;
    int minute = 0;
    int second = 0;
    for (Surface *surface : surfaces) {
        if (!tick && !surface->unanswered && !surface->waiting && surface->committed.count != 0)
            continue;
        if (!time_read) {
            read_local_time(hour, minute, second);
            time_read = true;
        }
        draw(*surface, hour, minute, second);
    }
}

void destroy_surfaces() {
    while (!surfaces.empty())
        destroy_surface(surfaces.back());
}
