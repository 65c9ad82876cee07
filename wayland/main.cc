// quadrix-wayland: shows the clock in a window of a Wayland compositor, or
// with -background as the background of every output, and keeps it
// current.
//
// One loop waits in ppoll for the compositor's connection and a signal
// descriptor for SIGTERM and SIGINT, until just after the wall clock's
// next multiple of the interval.  The time-out is relative and read anew
// from the wall clock before every wait, so that the clock also runs
// where the time is frozen or moved for tests.  At each multiple the
// surfaces whose picture has changed send the change; between them only
// the compositor's requests are answered.

#include "colours.h"
#include "connection.h"
#include "host.h"
#include "options.h"
#include "surfaces.h"
#include "ticks.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

// SIGTERM and SIGINT arrive through a descriptor that the loop watches;
// a file size limit is reported as an error instead of ending the process.
int catch_signals() {
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGTERM);
    sigaddset(&stopping, SIGINT);
    if (sigprocmask(SIG_BLOCK, &stopping, nullptr) != 0)
        fatal_error("Cannot block signals: %s", std::strerror(errno));
    const int descriptor = signalfd(-1, &stopping, SFD_CLOEXEC | SFD_NONBLOCK);
    if (descriptor < 0)
        fatal_error("Cannot watch for signals: %s", std::strerror(errno));
    std::signal(SIGXFSZ, SIG_IGN);
    return descriptor;
}

// Waits for the compositor, a signal or the next multiple of the interval;
// true once a signal has come.  tick tells whether the multiple has come.
bool wait_for_work(int signals, bool &tick) {
    while (wl_display_prepare_read(display) != 0)
        if (wl_display_dispatch_pending(display) < 0)
            connection_lost();
    pollfd watched[2] = {{wl_display_get_fd(display), POLLIN, 0}, {signals, POLLIN, 0}};
    if (wl_display_flush(display) < 0) {
        // A full socket is written as soon as it takes more.
        if (errno != EAGAIN) {
            wl_display_cancel_read(display);
            connection_lost();
        }
        watched[0].events |= POLLOUT;
    }
    const std::int64_t now = wall_clock_ns();
    const std::int64_t wait = wait_for_tick(now, interval);
    const timespec timeout = as_timespec(wait);
    const int ready = ppoll(watched, 2, &timeout, nullptr);
    if (ready < 0 && errno != EINTR) {
        wl_display_cancel_read(display);
        fatal_error("Waiting for the compositor: %s", std::strerror(errno));
    }
    if (ready > 0 && (watched[0].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
        if (wl_display_read_events(display) < 0)
            connection_lost();
    } else {
        wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0)
        connection_lost();
    // Woken by the time-out, or by the compositor once the multiple has
    // passed.  A frozen wall clock never passes it: there the time-out
    // alone counts.
    tick = ready == 0 || wall_clock_ns() >= now + wait;
    return ready > 0 && (watched[1].revents & POLLIN) != 0;
}

int run() {
    const int signals = catch_signals();
    choose_colours(pen_colours);
    connect_to_compositor();
    if (!background)
        create_window();
    bool tick = true;
    bool stopped = false;
    while (!stopped && !window_closed) {
        draw_surfaces(tick);
        stopped = wait_for_work(signals, tick);
    }
    destroy_surfaces();
    disconnect_from_compositor();
    close(signals);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    take_memory_reserve();
    set_program_name(argc > 0 ? argv[0] : nullptr);
    parse_options(argc, argv);
    try {
        return run();
    } catch (const std::bad_alloc &) {
        out_of_memory();
    }
}
