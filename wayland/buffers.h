// Buffers in shared memory (wl_shm, XRGB8888) for a surface: a few for
// each, so that the clock never draws into one the compositor still reads.
#pragma once

#include "face_fills.h"

#include <wayland-client.h>

#include <array>
#include <cstddef>
#include <cstdint>

struct Buffer {
    wl_buffer *buffer;  // null: none made in this place
    std::uint32_t *pixels;
    std::size_t bytes;
    int width, height;
    bool busy;            // committed and not yet released by the compositor
    FaceFills content;    // the face its pixels show, cut to its size
};

// Two are enough while the compositor releases a buffer once the next one
// has been committed; the third covers one that holds on longer.
constexpr int BUFFERS_PER_SURFACE = 3;
using Buffers = std::array<Buffer, BUFFERS_PER_SURFACE>;

// A buffer of width by height pixels that the compositor does not hold:
// one of that size whose pixels are kept, else a new one, in the place of
// a free one of another size or in an empty place.  Null when the
// compositor holds them all.  Memory that cannot be had ends the process
// with "Out of memory".  A buffer's bytes must fit in an int32.
Buffer *free_buffer(Buffers &buffers, int width, int height);

// Lets go of every buffer, held or not.
void destroy_buffers(Buffers &buffers);
