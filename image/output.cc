#include "output.h"

#include "host.h"
#include "options.h"
#include "writers.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// A regular file, or a path where nothing is yet, is not written where it
// lies: the picture goes to a new file beside it, which takes the final
// name only when every byte of it is written, synced and closed.  A reader of the
// path sees the old picture or the new one, never a part of one, and a run
// that fails leaves the old picture as it was.  The new file gets the old
// one's owner, group and permission bits.
//
// A regular file that must be written in place (its folder takes no new
// file, it may not be renamed over, it is reached through /proc) gets the
// picture only once it is whole elsewhere, and the room for it is reserved
// before the first old byte is written over: a failure before that point
// leaves the old picture as it was.  Anything else (a device, a FIFO, a
// terminal) is written in place as it comes, as is standard output.

namespace {

// The signals that end the process while the new file exists, unless they
// were ignored when the run began: the file is removed first.
constexpr int ending_signals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGXCPU};
constexpr int ending_signal_count = sizeof ending_signals / sizeof ending_signals[0];

// Symbolic links followed before giving up, as the system itself does.
constexpr int MAX_LINKS = 40;

// Tries at a name for the new file before giving up.
constexpr int MAX_TRIES = 100;

// A new file's name keeps at most this much of the final one, so that it
// stays within the system's limit on a name.
constexpr std::size_t MAX_NAME_KEPT = 200;

constexpr long PROC_FILESYSTEM = 0x9fa0;

// The file the picture replaces, links followed, and the new file beside
// it.  A path too long for these is written in place.
char final_path[PATH_MAX];
char temporary[PATH_MAX];
int old_file = -1;  // the replaced file, open for writing, or -1

// Set while output_file is an unnamed file that holds the picture for
// old_file, a regular file written in place.
bool spooled;

// Set while the new file exists under its own name.
volatile std::sig_atomic_t temporary_exists;

struct sigaction earlier_actions[ending_signal_count];
bool handlers_set;

void remove_temporary() {
    if (temporary_exists) {
        unlink(temporary);
        temporary_exists = 0;
    }
}

extern "C" void end_on_signal(int signal_number) {
    if (temporary_exists)
        unlink(temporary);
    // The handler was reset on entry: the signal, raised again, ends the
    // process as it would have without the handler once this returns.
    raise(signal_number);
}

// Blocks or unblocks the ending signals around the steps that create and
// rename the new file, so that it is never left behind between a step and
// the flag that says whether it exists.
void hold_signals(bool hold) {
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number : ending_signals)
        sigaddset(&set, signal_number);
    sigprocmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

void set_handlers() {
    static bool at_exit_set = false;
    if (!at_exit_set) {
        // Any end of the run through exit, fatal_error's among them.
        std::atexit(remove_temporary);
        at_exit_set = true;
    }
    for (int i = 0; i < ending_signal_count; i++) {
        sigaction(ending_signals[i], nullptr, &earlier_actions[i]);
        if (earlier_actions[i].sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = end_on_signal;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(ending_signals[i], &action, nullptr);
    }
    handlers_set = true;
}

void restore_handlers() {
    if (!handlers_set)
        return;
    for (int i = 0; i < ending_signal_count; i++)
        sigaction(ending_signals[i], &earlier_actions[i], nullptr);
    handlers_set = false;
}

// Removes the new file and everything that kept it.
void discard() {
    hold_signals(true);
    remove_temporary();
    hold_signals(false);
    restore_handlers();
    if (old_file >= 0)
        close(old_file);
    old_file = -1;
}

// The length of the folder part of path, up to and including its last '/'.
std::size_t folder_length(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash == nullptr ? 0 : static_cast<std::size_t>(slash - path) + 1;
}

enum Target { TARGET_NEW, TARGET_REGULAR, TARGET_OTHER };

// Follows output_path through symbolic links, a relative one from the
// folder of its link, to what the picture goes to, in final_path.
Target find_target() {
    if (std::strlen(output_path) >= sizeof final_path)
        return TARGET_OTHER;
    std::strcpy(final_path, output_path);
    for (int links = 0; links <= MAX_LINKS; links++) {
        struct stat info;
        if (lstat(final_path, &info) != 0)
            return errno == ENOENT ? TARGET_NEW : TARGET_OTHER;
        if (S_ISREG(info.st_mode))
            return TARGET_REGULAR;
        if (!S_ISLNK(info.st_mode))
            return TARGET_OTHER;
        // A link of /proc (/dev/stdout leads there) stands for a file the
        // process has open, and its text is not always a path.
        const std::size_t folder = folder_length(final_path);
        char text[PATH_MAX];
        std::memcpy(text, final_path, folder);
        text[folder] = '\0';
        struct statfs filesystem;
        if (statfs(folder == 0 ? "." : text, &filesystem) != 0 ||
            static_cast<long>(filesystem.f_type) == PROC_FILESYSTEM)
            return TARGET_OTHER;
        const ssize_t length = readlink(final_path, text, sizeof text);
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof text)
            return TARGET_OTHER;
        const std::size_t size = static_cast<std::size_t>(length);
        const std::size_t start = text[0] == '/' ? 0 : folder;
        if (start + size >= sizeof final_path)
            return TARGET_OTHER;
        std::memcpy(final_path + start, text, size);
        final_path[start + size] = '\0';
    }
    return TARGET_OTHER;
}

std::uint64_t mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15u;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9u;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebu;
    return x ^ (x >> 31);
}

// Names the new file beside final_path: ".NAME.XXXXXX"; false when the
// name does not fit.
bool name_temporary(std::uint64_t seed) {
    constexpr char letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    char suffix[7];
    std::uint64_t bits = mix(seed);
    for (int i = 0; i < 6; i++, bits /= 62)
        suffix[i] = letters[bits % 62];
    suffix[6] = '\0';
    const int folder = static_cast<int>(folder_length(final_path));
    const int written = std::snprintf(temporary, sizeof temporary, "%.*s.%.*s.%s", folder,
                                      final_path, static_cast<int>(MAX_NAME_KEPT),
                                      final_path + folder, suffix);
    return written > 0 && static_cast<std::size_t>(written) < sizeof temporary;
}

// Creates the new file beside final_path, with the mode given (less the
// umask); its descriptor, or -1 with errno set.
int create_temporary(mode_t mode) {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t seed = static_cast<std::uint64_t>(now.tv_nsec) ^
                         static_cast<std::uint64_t>(now.tv_sec) << 30 ^
                         static_cast<std::uint64_t>(getpid()) << 42;
    for (int tries = 0; tries < MAX_TRIES; tries++) {
        if (!name_temporary(seed++)) {
            errno = ENAMETOOLONG;
            return -1;
        }
        hold_signals(true);
        const int fd = open(temporary, O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
        if (fd >= 0)
            temporary_exists = 1;
        const int saved = errno;
        hold_signals(false);
        if (fd >= 0 || saved != EEXIST) {
            errno = saved;
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Opens a new file that will replace the output; false when the output is
// to be written in place instead.
bool open_replacement() {
    const Target target = find_target();
    if (target == TARGET_OTHER)
        return false;
    const char *name = final_path + folder_length(final_path);
    if (std::strcmp(name, "") == 0 || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return false;

    // A file that may not be written is not replaced either: it is left to
    // the open in place, which reports it.
    mode_t mode = 0666;
    struct stat info {};
    if (target == TARGET_REGULAR) {
        old_file = open(final_path, O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (old_file < 0 || fstat(old_file, &info) != 0 || !S_ISREG(info.st_mode)) {
            discard();
            return false;
        }
        mode = info.st_mode & 0777;
    }

    set_handlers();
    const int fd = create_temporary(target == TARGET_REGULAR ? 0600 : mode);
    if (fd < 0) {
        const int error = errno;
        discard();
        // A folder that takes no new file, or no name that long: written in
        // place, as is a new path that cannot be created (the open in place
        // reports why).
        if (error == EACCES || error == EPERM || error == EROFS || error == ENAMETOOLONG ||
            target == TARGET_NEW)
            return false;
        fatal_error("Creating file \"%s\": %s", output_path, std::strerror(error));
    }
    if (target == TARGET_REGULAR) {
        // The replaced file's owner and group.  Another user than root may
        // give the new file only a group of its own; root must be able to
        // keep both, or else it writes in place, which keeps them.
        if (fchown(fd, info.st_uid, info.st_gid) != 0 &&
            fchown(fd, static_cast<uid_t>(-1), info.st_gid) != 0 && geteuid() == 0) {
            close(fd);
            discard();
            return false;
        }
        // Its permission bits, which the umask must not narrow and a change
        // of owner may have cleared.
        fchmod(fd, mode);
    }
    output_file = fdopen(fd, "w");
    if (output_file == nullptr) {
        const int error = errno;
        close(fd);
        discard();
        fatal_error("Creating file \"%s\": %s", output_path, std::strerror(error));
    }
    return true;
}

// Puts the whole of the file from, a complete picture, into old_file in
// place of the old picture, and closes old_file.  The room for the picture
// is reserved first, keeping the old size and bytes, so that a file system
// that cannot hold it says so before anything is written over; the file is
// cut to the picture's length only at the end.  (A file system without
// fallocate gives no such warning, and an error after the reservation, a
// failing disk, leaves part of each picture.)  The ending signals wait
// while the old bytes are written over.  0 or the errno of the failure.
int write_over(int from) {
    struct stat info;
    int error = fstat(from, &info) == 0 ? 0 : errno;
    const off_t size = error == 0 ? info.st_size : 0;
    if (error == 0 && size > 0 && fallocate(old_file, FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        error = errno;
    hold_signals(true);
    static char block[64 * 1024];
    for (off_t done = 0; error == 0 && done < size;) {
        const std::size_t want =
            size - done < off_t{sizeof block} ? static_cast<std::size_t>(size - done) : sizeof block;
        const ssize_t got = pread(from, block, want, done);
        if (got <= 0) {
            if (got < 0 && errno == EINTR)
                continue;
            error = got < 0 ? errno : EIO;
            break;
        }
        for (ssize_t put_so_far = 0; put_so_far < got && error == 0;) {
            const ssize_t put = pwrite(old_file, block + put_so_far,
                                       static_cast<std::size_t>(got - put_so_far),
                                       done + put_so_far);
            if (put > 0)
                put_so_far += put;
            else if (put == 0 || errno != EINTR)
                error = put == 0 ? EIO : errno;
        }
        done += got;
    }
    if (error == 0 && ftruncate(old_file, size) != 0)
        error = errno;
    if (error == 0 && fsync(old_file) != 0 && errno != EINVAL)
        error = errno;
    if (close(old_file) != 0 && error == 0)
        error = errno;
    old_file = -1;
    hold_signals(false);
    return error;
}

// The new file, closed with the first error of its writing or 0, takes the
// final name; on an error it is removed and the old file stays.
void finish_replacement(int error) {
    if (error == 0) {
        hold_signals(true);
        if (rename(temporary, final_path) == 0)
            temporary_exists = 0;
        else
            error = errno;
        hold_signals(false);
        if (error != 0 && old_file >= 0) {
            // Not to be renamed over (a file of another user in a sticky
            // folder, a file mounted on its own): written in place.
            const int from = open(temporary, O_RDONLY | O_CLOEXEC);
            error = from < 0 ? errno : write_over(from);
            if (from >= 0)
                close(from);
        }
    }
    discard();
    output_file = nullptr;
    if (error != 0)
        fatal_error("Writing file \"%s\": %s", output_path, std::strerror(error));
}

// An unnamed file to hold the whole picture: in $TMPDIR, or /tmp, or in
// memory where neither takes one.  Its descriptor, or -1 with errno set.
int open_spool() {
    const char *folder = std::getenv("TMPDIR");
    if (folder == nullptr || folder[0] == '\0')
        folder = "/tmp";
    const int fd = open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    return fd >= 0 ? fd : memfd_create("quadrix-image", MFD_CLOEXEC);
}

// Opens the output where it lies, as fopen would but without cutting a
// regular file short: that gets the picture through a spool, and the old
// one stays until the new one is whole.
void open_in_place() {
    const int fd = open(output_path, O_WRONLY | O_CREAT, 0666);
    if (fd < 0)
        fatal_error("Creating file \"%s\": %s", output_path, std::strerror(errno));
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        output_file = fdopen(fd, "w");
        if (output_file == nullptr)
            fatal_error("Creating file \"%s\": %s", output_path, std::strerror(errno));
        return;
    }
    old_file = fd;
    const int spool = open_spool();
    output_file = spool >= 0 ? fdopen(spool, "w+") : nullptr;
    if (output_file == nullptr) {
        const int error = errno;
        if (spool >= 0)
            close(spool);
        discard();
        fatal_error("Writing file \"%s\": %s", output_path, std::strerror(error));
    }
    spooled = true;
}

}  // namespace

void open_output() {
    // A write beyond the file size limit fails with "File too large"
    // instead of ending the process with the new file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    if (output_path == nullptr) {
        output_file = stdout;
        return;
    }
    if (!open_replacement())
        open_in_place();
    if (verbose)
        std::fprintf(stderr, "Writing to file \"%s\"\n", output_path);
}

void close_output() {
    // The first error wins: a failed row write, then the final flush, then
    // any other write that left the stream's error flag, then the close.
    int error = output_error;
    if (std::fflush(output_file) != 0 && error == 0)
        error = errno;
    if (std::ferror(output_file) && error == 0)
        error = EIO;
    // A new file is on the disk before it takes the old one's name: a
    // crash of the system then leaves the old picture or the new one, not
    // an empty file, and an error that only the disk reports still keeps
    // the old picture.  (A file system that cannot sync says EINVAL.)
    if (temporary_exists && error == 0 && fsync(fileno(output_file)) != 0 && errno != EINVAL)
        error = errno;
    if (spooled) {
        // The whole picture is in the spool: now, and not before, it goes
        // over the old one.
        if (error == 0)
            error = write_over(fileno(output_file));
        discard();
        spooled = false;
        std::fclose(output_file);  // the spool, read to its end
    } else if (output_file != stdout && std::fclose(output_file) != 0 && error == 0) {
        error = errno;
    }
    if (temporary_exists)
        finish_replacement(error);
    if (error == 0)
        return;
    if (output_path != nullptr)
        fatal_error("Writing file \"%s\": %s", output_path, std::strerror(error));
    fatal_error("Writing to standard output: %s", std::strerror(error));
}
