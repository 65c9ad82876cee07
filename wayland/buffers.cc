#include "buffers.h"

#include "connection.h"
#include "host.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

void on_release(void *data, wl_buffer *) { static_cast<Buffer *>(data)->busy = false; }

const wl_buffer_listener buffer_listener = {on_release};

void destroy_buffer(Buffer &buffer) {
    if (buffer.buffer == nullptr)
        return;
    wl_buffer_destroy(buffer.buffer);
    munmap(buffer.pixels, buffer.bytes);
    buffer = Buffer{};
}

// Shared memory for a new buffer in the empty place buffer.
void make_buffer(Buffer &buffer, int width, int height) {
    // The caller keeps it within the int32 that wl_shm counts a pool's
    // bytes in.
    const long long bytes = 4LL * width * height;
    const int fd = memfd_create("quadrix-wayland", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        fatal_error("Cannot make a buffer: %s", std::strerror(errno));
    // The pages are taken now, so that a lack of memory shows here and not
    // as a fault while the face is painted.
    if (fallocate(fd, 0, 0, bytes) != 0) {
        const int error = errno;
        close(fd);
        if (error == ENOMEM || error == ENOSPC)
            out_of_memory();
        fatal_error("Cannot make a buffer: %s", std::strerror(error));
    }
    // The compositor can rely on the size of the memory it maps.
    fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL);
    // Mapped whole at once: the first picture fills every page, and a page
    // fault for each would take longer than the painting.
    void *pixels = mmap(nullptr, static_cast<std::size_t>(bytes), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_POPULATE, fd, 0);
    if (pixels == MAP_FAILED) {
        const int error = errno;
        close(fd);
        if (error == ENOMEM)
            out_of_memory();
        fatal_error("Cannot make a buffer: %s", std::strerror(error));
    }
    wl_shm_pool *pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(bytes));
    buffer.buffer =
        wl_shm_pool_create_buffer(pool, 0, width, height, 4 * width, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(buffer.buffer, &buffer_listener, &buffer);
    buffer.pixels = static_cast<std::uint32_t *>(pixels);
    buffer.bytes = static_cast<std::size_t>(bytes);
    buffer.width = width;
    buffer.height = height;
    buffer.busy = false;
    buffer.content.count = 0;
}

}  // namespace

Buffer *free_buffer(Buffers &buffers, int width, int height) {
    for (Buffer &buffer : buffers)
        if (buffer.buffer != nullptr && !buffer.busy && buffer.width == width &&
            buffer.height == height)
            return &buffer;
    for (Buffer &buffer : buffers)
        if (buffer.buffer == nullptr || !buffer.busy) {
            destroy_buffer(buffer);
            make_buffer(buffer, width, height);
            return &buffer;
        }
    return nullptr;
}

void destroy_buffers(Buffers &buffers) {
    for (Buffer &buffer : buffers)
        destroy_buffer(buffer);
}
