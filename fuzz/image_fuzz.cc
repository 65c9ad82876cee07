// Fuzzes the command line of quadrix-image, run in the fuzzer's own
// process.  The input is a list of words separated by zero bytes; they
// follow the program name.  Each run must end with status 0 or 1, write
// nothing but its own output, and on failure print exactly one of the
// program's messages.
//
// The run happens in a folder of the fuzzer's own under $TMPDIR or /tmp; the
// first word, the output file name, loses every '/': a fuzzed path cannot
// reach outside that folder.  Standard output and standard error are
// swapped for files beside it for the length of each run.
//
// The face's calls reach the canvas through wrappers (the link wraps
// face_set_pen and face_fill) that also paint a plain grid of pens, one
// byte a pixel.  After a run that succeeded, the canvas must hold that
// grid, and the pixels of a PPM, PBM, BMP, PNG (decoded by libpng) or SVG
// (its rectangles painted in order) output must be its pens.

#include "canvas.h"
#include "end_process_test.h"
#include "face_layout.h"
#include "host.h"
#include "options.h"
#include "quadface.h"
#include "run.h"

#include <dirent.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {


constexpr const char *fixed_errors[] = {
    "Value for -border out of range",
    "width out of range, must be in [21, 8192]",
    "height out of range, must be in [21, 8192]",
    "Invalid color for -bg",
    "Invalid color for -ic",
    "Invalid color for -sc",
    "Invalid color for -hc",
    "Invalid color for -mc",
    "Out of memory",
};

constexpr const char *writer_lines[] = {
    "Writing XBM\n", "Writing XPM\n", "Writing PBM\n",
    "Writing PPM\n", "Writing BMP\n", "Writing BMP Windows\n",
    "Writing PNG\n", "Writing SVG\n",
};
constexpr int FORMATS = sizeof writer_lines / sizeof writer_lines[0];

constexpr std::size_t MAX_WORDS = 48;

std::string root;  // the fuzzer's folder: the capture files
std::string work;  // the folder the runs write in

std::vector<std::string> listing(const std::string &folder) {
    std::vector<std::string> names;
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent *entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    closedir(dir);
    return names;
}

std::string slurp(std::FILE *file) {
    std::string text;
    std::fflush(file);
    std::rewind(file);
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    return text;
}

long file_size(std::FILE *file) {
    std::fflush(file);
    struct stat info;
    return fstat(fileno(file), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

bool is_system_error_text(const std::string &text) {
    for (int e = 1; e < 256; e++)
        if (text == std::strerror(e))
            return true;
    return false;
}

// Is the text after "\nError quadrix-image: " and before "\n\n" one of the
// program's messages, for this command line?
bool is_error_message(const std::string &m, const std::vector<std::string> &words) {
    for (const char *fixed : fixed_errors)
        if (m == fixed)
            return true;
    const std::string missing = "Missing argument for '";
    if (m.rfind(missing, 0) == 0 && m.size() > missing.size() && m.back() == '\'') {
        const std::string word = m.substr(missing.size(), m.size() - missing.size() - 1);
        for (const std::string &w : words)
            if (w == word)
                return true;
        return false;
    }
    if (output_path != nullptr) {
        const std::string creating = std::string("Creating file \"") + output_path + "\": ";
        if (m.rfind(creating, 0) == 0)
            return is_system_error_text(m.substr(creating.size()));
    }
    return false;
}

// The program's usage text as it prints it under the name given.
std::string usage_for(const char *name) {
    char text[2048];
    std::snprintf(text, sizeof text, usage_text, name);
    return text;
}

bool is_failure_text(const std::string &err, const std::vector<std::string> &words) {
    if (err == usage_for("quadrix-image") || err == "Quadface: border too large for size\n" ||
        err == "Quadface: too small\n")
        return true;
    const std::string prefix = "\nError quadrix-image: ";
    if (err.size() < prefix.size() + 2 || err.rfind(prefix, 0) != 0 ||
        err.compare(err.size() - 2, 2, "\n\n") != 0)
        return false;
    return is_error_message(err.substr(prefix.size(), err.size() - prefix.size() - 2), words);
}

[[noreturn]] void finding(const char *what, const std::vector<std::string> &words,
                          const std::string &err) {
    std::fprintf(stderr, "finding: %s\ncommand line:", what);
    for (const std::string &w : words)
        std::fprintf(stderr, " [%s]", w.c_str());
    std::fprintf(stderr, "\nstandard error:\n%s\n", err.c_str());
    std::abort();
}

// The plain grid of the face's last drawing, bottom row first.
std::vector<unsigned char> plain;
int plain_width;
int plain_height;
int plain_pen;
bool drawn;
bool fill_outside;

std::string read_file(const std::string &path) {
    std::string bytes;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return bytes;
    bytes = slurp(file);
    std::fclose(file);
    return bytes;
}

unsigned char plain_at(int x, int y) {
    return plain[static_cast<std::size_t>(y) * static_cast<std::size_t>(plain_width) +
                 static_cast<std::size_t>(x)];
}

bool same_colour(const unsigned char *rgb, int pen) {
    return rgb[0] == pen_rgb[pen][0] && rgb[1] == pen_rgb[pen][1] && rgb[2] == pen_rgb[pen][2];
}

// A PNG as libpng decodes it, every pixel the colour of its pen.
const char *png_difference(const std::string &image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, image.data(), image.size()))
        return "libpng cannot read the PNG";
    if (static_cast<int>(png.width) != image_width || static_cast<int>(png.height) != image_height) {
        png_image_free(&png);
        return "a PNG of the wrong size";
    }
    png.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr))
        return "libpng cannot decode the PNG";
    const unsigned char *p = rgb.data();
    for (int y = image_height - 1; y >= 0; y--)
        for (int x = 0; x < image_width; x++, p += 3)
            if (!same_colour(p, plain_at(x, y)))
                return "a PNG pixel differs from its pen";
    return nullptr;
}

// An SVG read line by line as the writer lays it out: its rectangles
// painted in their order must give each pixel the colour of its pen.
const char *svg_difference(const std::string &image) {
    char head[512];
    std::snprintf(head, sizeof head,
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%i\" "
                  "height=\"%i\" viewBox=\"0 0 %i %i\" shape-rendering=\"crispEdges\">\n"
                  "<title>",
                  image_width, image_height, image_width, image_height);
    if (image.rfind(head, 0) != 0)
        return "an SVG with the wrong start";
    const std::string tail = "</svg>\n";
    if (image.size() < tail.size() || image.compare(image.size() - tail.size(), tail.size(), tail) != 0)
        return "an SVG with the wrong end";
    const std::size_t w = static_cast<std::size_t>(image_width);
    std::vector<std::uint32_t> painted(w * static_cast<std::size_t>(image_height), 0xffffffffu);
    std::size_t pos = image.find('\n', std::strlen(head)) + 1;  // after the title
    int rects = 0;
    while (pos < image.size() - tail.size()) {
        const std::size_t end = image.find('\n', pos);
        const std::string line = image.substr(pos, end - pos);
        pos = end + 1;
        int x, y, width, height, length = 0;
        unsigned colour;
        if (std::sscanf(line.c_str(), "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" "
                                      "fill=\"#%6x\"/>%n",
                        &x, &y, &width, &height, &colour, &length) != 5 ||
            static_cast<std::size_t>(length) != line.size())
            return "an SVG line that is not a rectangle";
        if (x < 0 || y < 0 || width < 1 || height < 1 || x + width > image_width ||
            y + height > image_height)
            return "an SVG rectangle outside the picture";
        for (int row = y; row < y + height; row++)
            for (int column = x; column < x + width; column++)
                painted[static_cast<std::size_t>(row) * w + static_cast<std::size_t>(column)] = colour;
        rects++;
    }
    if (rects > 11)
        return "more SVG rectangles than the face has fills";
    for (int row = 0; row < image_height; row++)
        for (int x = 0; x < image_width; x++) {
            const int *rgb = pen_rgb[plain_at(x, image_height - 1 - row)];
            const std::uint32_t want = static_cast<std::uint32_t>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
            if (painted[static_cast<std::size_t>(row) * w + static_cast<std::size_t>(x)] != want)
                return "an SVG pixel differs from its pen";
        }
    return nullptr;
}

// The first difference between the canvas, or the image's pixels, and the
// plain grid; null when there is none.
const char *picture_difference(const std::string &image) {
    if (!drawn || fill_outside)
        return fill_outside ? "a fill outside the image" : "nothing was drawn";
    if (plain_width != image_width || plain_height != image_height)
        return "the face was drawn at another size";
    for (int y = 0; y < image_height; y++) {
        const unsigned char *row = canvas_row_pens(y);
        for (int x = 0; x < canvas_columns; x++)
            if (row[x] != (x < image_width ? plain_at(x, y) : PEN_BACKGROUND))
                return "the canvas differs from the fills";
    }

    const std::size_t w = static_cast<std::size_t>(image_width);
    const std::size_t h = static_cast<std::size_t>(image_height);
    const std::size_t columns = static_cast<std::size_t>(canvas_columns);
    if (output_format == FORMAT_PPM) {
        const std::string header = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        if (image.size() != header.size() + 3 * w * h || image.compare(0, header.size(), header) != 0)
            return "a PPM of the wrong size";
        const unsigned char *p = reinterpret_cast<const unsigned char *>(image.data()) + header.size();
        for (int y = image_height - 1; y >= 0; y--)
            for (int x = 0; x < image_width; x++, p += 3) {
                const int *rgb = pen_rgb[plain_at(x, y)];
                if (p[0] != rgb[0] || p[1] != rgb[1] || p[2] != rgb[2])
                    return "a PPM pixel differs from its pen";
            }
    } else if (output_format == FORMAT_PBM) {
        const std::string header = "P4\n" + std::to_string(w) + " " + std::to_string(h) + "\n";
        if (image.size() != header.size() + columns / 8 * h || image.compare(0, header.size(), header) != 0)
            return "a PBM of the wrong size";
        const unsigned char *p = reinterpret_cast<const unsigned char *>(image.data()) + header.size();
        for (int y = image_height - 1; y >= 0; y--, p += columns / 8)
            for (int x = 0; x < canvas_columns; x++) {
                const bool black = (p[x / 8] >> (7 - x % 8) & 1) != 0;
                if (black != (x < image_width && plain_at(x, y) >= PEN_SQUARE))
                    return "a PBM pixel differs from its pen";
            }
    } else if (output_format == FORMAT_BMP || output_format == FORMAT_BMPWIN) {
        // The rows come last, bottom row first, two pixels a byte.
        const std::size_t row_size = columns / 2;
        if (image.size() < row_size * h)
            return "a BMP too short for its rows";
        const unsigned char *p =
            reinterpret_cast<const unsigned char *>(image.data()) + image.size() - row_size * h;
        for (int y = 0; y < image_height; y++, p += row_size)
            for (int x = 0; x < canvas_columns; x++) {
                const int pen = x % 2 == 0 ? p[x / 2] >> 4 : p[x / 2] & 15;
                if (pen != (x < image_width ? plain_at(x, y) : PEN_BACKGROUND))
                    return "a BMP pixel differs from its pen";
            }
    } else if (output_format == FORMAT_PNG) {
        return png_difference(image);
    } else if (output_format == FORMAT_SVG) {
        return svg_difference(image);
    }
    return nullptr;
}

void remove_all(const std::string &folder) {
    for (const std::string &name : listing(folder))
        std::remove((folder + "/" + name).c_str());
}

void clean_up() {
    remove_all(work);
    rmdir(work.c_str());
    remove_all(root);
    rmdir(root.c_str());
}

}  // namespace

// The library's ending: its message, then the end of the run, which in
// this binary unwinds back here.
void face_layout_failure(const char *message) {
    std::fputs(message, stderr);
    end_process(1);
}

// The canvas's own primitives, reached through the wrappers below.
extern "C" void __real_face_set_pen(int pen);
extern "C" void __real_face_fill(int x0, int y0, int x1, int y1);

extern "C" void __wrap_face_set_pen(int pen) {
    plain_pen = pen;
    __real_face_set_pen(pen);
}

extern "C" void __wrap_face_fill(int x0, int y0, int x1, int y1) {
    if (!drawn) {
        // The first fill of a drawing covers the whole image.
        drawn = true;
        plain_width = x1 + 1;
        plain_height = y1 + 1;
        plain.assign(static_cast<std::size_t>(plain_width > 0 ? plain_width : 0) *
                         static_cast<std::size_t>(plain_height > 0 ? plain_height : 0),
                     0xff);
    }
    if (x1 >= x0 && y1 >= y0) {
        if (x0 < 0 || y0 < 0 || x1 >= plain_width || y1 >= plain_height) {
            fill_outside = true;
            return;
        }
        for (int y = y0; y <= y1; y++)
            std::memset(&plain[static_cast<std::size_t>(y) * static_cast<std::size_t>(plain_width) +
                               static_cast<std::size_t>(x0)],
                        plain_pen, static_cast<std::size_t>(x1 - x0 + 1));
    }
    __real_face_fill(x0, y0, x1, y1);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") +
                          "/quadrix-image-fuzz.XXXXXX";
    std::vector<char> folder(pattern.begin(), pattern.end());
    folder.push_back('\0');
    if (mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    root = folder.data();
    work = root + "/work";
    if (mkdir(work.c_str(), 0700) != 0 || chdir(work.c_str()) != 0) {
        std::perror(work.c_str());
        std::exit(1);
    }
    // The process's own standard output must stay empty: the runs write
    // "-" to a capture file.
    std::FILE *fd1 = std::fopen((root + "/fd1").c_str(), "w");
    if (fd1 == nullptr || dup2(fileno(fd1), 1) < 0) {
        std::perror("fd1");
        std::exit(1);
    }
    std::fclose(fd1);
    std::atexit(clean_up);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::vector<std::string> words;
    std::string current;
    for (std::size_t i = 0; i < size && words.size() < MAX_WORDS; i++) {
        if (data[i] == 0) {
            words.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (!current.empty() && words.size() < MAX_WORDS)
        words.push_back(current);
    if (!words.empty())
        for (char &c : words[0])
            if (c == '/')
                c = '_';

    std::vector<char *> argv;
    std::string name = "quadrix-image";
    argv.push_back(name.data());
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    std::FILE *out = std::fopen((root + "/stdout").c_str(), "w+");
    std::FILE *err = std::fopen((root + "/stderr").c_str(), "w+");
    if (out == nullptr || err == nullptr) {
        std::perror("capture files");
        std::abort();
    }
    std::FILE *real_out = stdout;
    std::FILE *real_err = stderr;
    stdout = out;
    stderr = err;

    drawn = false;
    fill_outside = false;
    int status = 0;
    try {
        run_image(static_cast<int>(argv.size() - 1), argv.data());
    } catch (const ProcessEnd &end) {
        status = end.status;
    }

    stdout = real_out;
    stderr = real_err;
    const std::string err_text = slurp(err);
    const long out_size = file_size(out);
    std::fclose(out);
    std::fclose(err);

    // What the run took and kept for its own lifetime.
    std::free(memory_reserve);
    memory_reserve = nullptr;
    std::free(const_cast<char *>(program_name));
    program_name = "";

    if (status != 0 && status != 1)
        finding("a status other than 0 and 1", words, err_text);

    struct stat info;
    if (fstat(1, &info) != 0 || info.st_size != 0)
        finding("the process's own standard output was written", words, err_text);

    const std::vector<std::string> files = listing(work);
    const bool named = output_path != nullptr;
    if (status == 0 && named) {
        if (files.size() != 1 || files[0] != output_path)
            finding("a run that succeeded left other files than its output", words, err_text);
        if (stat(output_path, &info) != 0 || info.st_size == 0)
            finding("a run that succeeded left an empty output file", words, err_text);
    } else if (!files.empty()) {
        finding(status == 0 ? "a run to standard output created a file"
                            : "a failed run created a file",
                words, err_text);
    }
    if ((status == 0 && !named) != (out_size > 0))
        finding(status == 0 ? "no image on standard output"
                            : "a failed run wrote to standard output",
                words, err_text);

    if (status == 0) {
        std::string expected;
        if (verbose) {
            if (named)
                expected = std::string("Writing to file \"") + output_path + "\"\n";
            if (output_format < 0 || output_format >= FORMATS)
                finding("an unknown format was written", words, err_text);
            expected += writer_lines[output_format];
        }
        if (err_text != expected)
            finding("unexpected progress lines", words, err_text);
        const std::string image = read_file(named ? work + "/" + output_path : root + "/stdout");
        if (const char *difference = picture_difference(image))
            finding(difference, words, err_text);
    } else if (!is_failure_text(err_text, words)) {
        finding("a failure printed no message of the program", words, err_text);
    }

    remove_all(work);
    return 0;
}
