#include "writers.h"

#include "canvas.h"
#include "host.h"
#include "options.h"
#include "quadface.h"

#include <png.h>
#include <zlib.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

std::FILE *output_file;
int output_error;
int shown_hour;
int shown_minute;
int shown_second;

namespace {

// Each writer encodes a run of rows that share their pens once, then writes
// it as often as the run is long, several rows to one fwrite, in pieces of
// about this many bytes.
constexpr std::size_t PIECE = 64 * 1024;

// A growing scratch buffer, kept from one writer call to the next.
struct Buffer {
    unsigned char *bytes;
    std::size_t capacity;
};

Buffer encoded;  // the encoding of one run's rows
Buffer repeats;  // copies of it, for the pieces
Buffer packed_row;  // one row of XBM values

// At least size bytes; the contents are not kept.
unsigned char *room(Buffer &buffer, std::size_t size) {
    if (size > buffer.capacity) {
        std::free(buffer.bytes);
        buffer.bytes = static_cast<unsigned char *>(xmalloc(size));
        buffer.capacity = size;
    }
    return buffer.bytes;
}

void progress(const char *line) {
    if (verbose)
        std::fputs(line, stderr);
}

void put(const unsigned char *bytes, std::size_t size) {
    if (size == 0)
        return;
    if (std::fwrite(bytes, 1, size, output_file) != size && output_error == 0)
        output_error = errno;
}

// bytes, times over.
void put_repeated(const unsigned char *bytes, std::size_t size, long times) {
    if (times <= 0 || size == 0)
        return;
    const long per_piece = static_cast<long>(PIECE / size);
    if (times == 1 || per_piece <= 1) {
        for (long i = 0; i < times; i++)
            put(bytes, size);
        return;
    }
    const long copies = times < per_piece ? times : per_piece;
    unsigned char *piece = room(repeats, size * static_cast<std::size_t>(copies));
    for (long i = 0; i < copies; i++)
        std::memcpy(piece + size * static_cast<std::size_t>(i), bytes, size);
    while (times > 0) {
        const long n = times < copies ? times : copies;
        put(piece, size * static_cast<std::size_t>(n));
        times -= n;
    }
}

// The rim, the hour marker and the minutes are the foreground of the
// one-bit formats; the background and the inside of the square are not.
constexpr bool is_foreground(unsigned char pen) { return pen >= PEN_SQUARE; }

// One byte of 8 pixels of a row from column x on.  lsb_first puts the
// leftmost pixel in bit 0 (XBM), otherwise in bit 7 (PBM).
unsigned char pack_bits(const unsigned char *row, int x, bool lsb_first) {
    if constexpr (std::endian::native == std::endian::little) {
        // All 8 pens at once: pens 2 to 4 are those with bit 1 or bit 2
        // set, which land on bit 0 of each byte; one multiplication then
        // gathers the eight bits into the top byte, in either order.
        std::uint64_t pens;
        std::memcpy(&pens, row + x, sizeof pens);
        const std::uint64_t set = ((pens >> 1) | (pens >> 2)) & 0x0101010101010101u;
        const std::uint64_t gather = lsb_first ? 0x0102040810204080u : 0x8040201008040201u;
        return static_cast<unsigned char>((set * gather) >> 56);
    }
    unsigned bits = 0;
    for (int k = 0; k < 8; k++)
        if (is_foreground(row[x + k]))
            bits |= lsb_first ? 1u << k : 0x80u >> k;
    return static_cast<unsigned char>(bits);
}

// A row's canvas_columns / 8 packed bytes.
void pack_row(const unsigned char *row, unsigned char *out, bool lsb_first) {
    for (int x = 0; x < canvas_columns; x += 8)
        *out++ = pack_bits(row, x, lsb_first);
}

constexpr char pen_chars[] = ".,#@%";
constexpr char hex_digits[] = "0123456789abcdef";

// The text of rows equal rows of per_row packed values, the first value
// being number count + 1 of the image: "0x%02x" and ",", or "};" after the
// image's last value when ends_image, and a newline after every 15th value.
// row_start receives where each row's text begins, and where the last ends.
std::size_t xbm_text(const unsigned char *packed, int per_row, int rows, long count,
                     bool ends_image, unsigned char *text, std::size_t *row_start) {
    std::size_t length = 0;
    for (int r = 0; r < rows; r++) {
        row_start[r] = length;
        for (int i = 0; i < per_row; i++) {
            const unsigned char bits = packed[i];
            count++;
            text[length++] = '0';
            text[length++] = 'x';
            text[length++] = static_cast<unsigned char>(hex_digits[bits >> 4]);
            text[length++] = static_cast<unsigned char>(hex_digits[bits & 15]);
            if (ends_image && r == rows - 1 && i == per_row - 1) {
                text[length++] = '}';
                text[length++] = ';';
            } else {
                text[length++] = ',';
            }
            if (count % 15 == 0)
                text[length++] = '\n';
        }
    }
    row_start[rows] = length;
    return length;
}

// Enough for xbm_text: at most six characters a value, and "};" once.
std::size_t xbm_text_room(int per_row, int rows) {
    return static_cast<std::size_t>(rows) * static_cast<std::size_t>(per_row) * 6 + 2;
}

// Little-endian fields, byte by byte.
unsigned char *put_le16(unsigned char *out, unsigned value) {
    *out++ = static_cast<unsigned char>(value & 0xff);
    *out++ = static_cast<unsigned char>((value >> 8) & 0xff);
    return out;
}

unsigned char *put_le32(unsigned char *out, unsigned long value) {
    for (int shift = 0; shift < 32; shift += 8)
        *out++ = static_cast<unsigned char>((value >> shift) & 0xff);
    return out;
}

// libpng writes through put, like the other writers, and takes its memory
// (zlib's included) through xmalloc, so that a failed allocation ends the
// run with "Out of memory".  Writing cannot fail inside the library: a
// failed write is kept in output_error for close_output.
void png_put(png_structp, png_bytep data, std::size_t size) { put(data, size); }
void png_no_flush(png_structp) {}
[[noreturn]] void png_failed(png_structp, png_const_charp message) {
    fatal_error("Writing PNG: %s", message);
}
void png_warned(png_structp, png_const_charp) {}
png_voidp png_take(png_structp, png_alloc_size_t size) { return xmalloc(size); }
void png_give_back(png_structp, png_voidp block) { std::free(block); }

// The compressed data goes out in chunks of this size: the picture of a
// face compresses so well that it is mostly one chunk.
constexpr std::size_t PNG_CHUNK = 256 * 1024;

}  // namespace

void write_xpm() {
    progress("Writing XPM\n");
    std::fprintf(output_file,
                 "/* XPM */\n"
                 "static char *Quadrix[] = {\n"
                 "/* width height num_colors chars_per_pixel */\n"
                 "\"    %i    %i        5            1\",\n"
                 "/* colors */\n",
                 image_width, image_height);
    for (int pen = 0; pen < 5; pen++)
        std::fprintf(output_file, "\"%c c #%02x%02x%02x\",\n", pen_chars[pen],
                     pen_rgb[pen][0], pen_rgb[pen][1], pen_rgb[pen][2]);
    std::fputs("/* pixels */\n", output_file);

    // A pixel line: a double quote, a character a pixel, then "\",\n", or
    // "\"\n" for the bottom row, the last line.
    const std::size_t width = static_cast<std::size_t>(image_width);
    unsigned char *line = room(encoded, width + 4);
    for (int y = image_height - 1; y >= 0;) {
        const int run = canvas_run(y, -1);
        const unsigned char *row = canvas_row_pens(y);
        line[0] = '"';
        for (std::size_t x = 0; x < width; x++)
            line[1 + x] = static_cast<unsigned char>(pen_chars[row[x]]);
        line[width + 1] = '"';
        line[width + 2] = ',';
        line[width + 3] = '\n';
        y -= run;
        if (y >= 0) {
            put_repeated(line, width + 4, run);
        } else {
            put_repeated(line, width + 4, run - 1);
            line[width + 2] = '\n';
            put(line, width + 3);
        }
    }
    std::fputs("};\n", output_file);
}

void write_ppm() {
    progress("Writing PPM\n");
    std::fprintf(output_file, "P6\n%i %i\n255\n", image_width, image_height);

    // Each pen's three bytes, stored four at a time: the fourth lands where
    // the next pixel begins, or in the spare byte after the line.
    std::uint32_t pixel[5];
    for (int pen = 0; pen < 5; pen++) {
        const unsigned char rgb[4] = {static_cast<unsigned char>(pen_rgb[pen][0]),
                                      static_cast<unsigned char>(pen_rgb[pen][1]),
                                      static_cast<unsigned char>(pen_rgb[pen][2]), 0};
        std::memcpy(&pixel[pen], rgb, 4);
    }
    const std::size_t size = 3 * static_cast<std::size_t>(image_width);
    unsigned char *line = room(encoded, size + 1);
    for (int y = image_height - 1; y >= 0;) {
        const int run = canvas_run(y, -1);
        const unsigned char *row = canvas_row_pens(y);
        unsigned char *out = line;
        for (int x = 0; x < image_width; x++, out += 3)
            std::memcpy(out, &pixel[row[x]], 4);
        put_repeated(line, size, run);
        y -= run;
    }
}

void write_xbm() {
    progress("Writing XBM\n");
    std::fprintf(output_file,
                 "#define Quadrix_width %i\n"
                 "#define Quadrix_height %i\n"
                 "static char Quadrix_bits[] = {\n",
                 image_width, image_height);
    // Values stand 15 to a line, counted over the whole image: a row of the
    // picture may begin in the middle of a line of text.  Where it begins
    // comes round again after at most 15 rows, so the text of that many
    // equal rows repeats for the rest of their run.
    const int per_row = canvas_columns / 8;
    int period = 1;
    while (static_cast<long>(period) * per_row % 15 != 0)
        period++;
    unsigned char *packed = room(packed_row, static_cast<std::size_t>(per_row));
    std::size_t row_start[16];

    long count = 0;
    for (int y = image_height - 1; y >= 0;) {
        const int run = canvas_run(y, -1);
        pack_row(canvas_row_pens(y), packed, true);
        y -= run;
        // The bottom row ends the image with "};": it is set apart.
        const bool ends_image = y < 0;
        const int plain = ends_image ? run - 1 : run;
        if (plain > 0) {
            const int rows = plain < period ? plain : period;
            unsigned char *text = room(encoded, xbm_text_room(per_row, rows));
            const std::size_t length =
                xbm_text(packed, per_row, rows, count, false, text, row_start);
            if (plain == rows) {
                put(text, length);
            } else {
                put_repeated(text, length, plain / period);
                put(text, row_start[plain % period]);
            }
            count += static_cast<long>(plain) * per_row;
        }
        if (ends_image) {
            unsigned char *text = room(encoded, xbm_text_room(per_row, 1));
            put(text, xbm_text(packed, per_row, 1, count, true, text, row_start));
            count += per_row;
        }
    }
    if (count % 15 != 0)
        std::fputc('\n', output_file);
}

void write_pbm() {
    progress("Writing PBM\n");
    std::fprintf(output_file, "P4\n%i %i\n", image_width, image_height);
    const std::size_t size = static_cast<std::size_t>(canvas_columns / 8);
    unsigned char *line = room(encoded, size);
    for (int y = image_height - 1; y >= 0;) {
        const int run = canvas_run(y, -1);
        pack_row(canvas_row_pens(y), line, false);
        put_repeated(line, size, run);
        y -= run;
    }
}

void write_bmp(int form) {
    progress(form ? "Writing BMP Windows\n" : "Writing BMP\n");
    const unsigned long row_size = static_cast<unsigned long>(canvas_columns) / 2;
    const unsigned long header_size = form ? 14 + 40 + 16 * 4 : 14 + 12 + 16 * 3;

    unsigned char header[14 + 40 + 16 * 4];
    unsigned char *out = header;
    *out++ = 'B';
    *out++ = 'M';
    out = put_le32(out, row_size * static_cast<unsigned long>(image_height) + header_size);
    out = put_le16(out, 0);
    out = put_le16(out, 0);
    out = put_le32(out, header_size);
    if (form) {
        out = put_le32(out, 40);
        out = put_le32(out, static_cast<unsigned long>(image_width));
        out = put_le32(out, static_cast<unsigned long>(image_height));  // bottom-up
        out = put_le16(out, 1);  // planes
        out = put_le16(out, 4);  // bits per pixel
        for (int field = 0; field < 6; field++)
            out = put_le32(out, 0);  // no compression, sizes and colour counts open
    } else {
        out = put_le32(out, 12);
        out = put_le16(out, static_cast<unsigned>(image_width));
        out = put_le16(out, static_cast<unsigned>(image_height));
        out = put_le16(out, 1);
        out = put_le16(out, 4);
    }
    // The five pens first, so that a pixel's palette index is its pen, then
    // black for the eleven entries nothing refers to.
    for (int entry = 0; entry < 16; entry++) {
        const int *rgb = pen_rgb[entry < 5 ? entry : 0];
        const bool used = entry < 5;
        *out++ = static_cast<unsigned char>(used ? rgb[2] : 0);
        *out++ = static_cast<unsigned char>(used ? rgb[1] : 0);
        *out++ = static_cast<unsigned char>(used ? rgb[0] : 0);
        if (form)
            *out++ = 0;
    }
    put(header, static_cast<std::size_t>(out - header));

    // Rows bottom-up, two pixels a byte, the left one in the high nibble; the
    // padding columns make every row a whole number of 4-byte words.
    unsigned char *line = room(encoded, row_size);
    for (int y = 0; y < image_height;) {
        const int run = canvas_run(y, 1);
        const unsigned char *row = canvas_row_pens(y);
        for (unsigned long i = 0; i < row_size; i++)
            line[i] = static_cast<unsigned char>(row[2 * i] << 4 | row[2 * i + 1]);
        put_repeated(line, row_size, run);
        y += run;
    }
}

void write_png() {
    progress("Writing PNG\n");
    // Pens of one colour share an entry of the palette, and the fewer the
    // entries, the fewer the bits of a pixel: the two colours of the
    // default picture make it one bit a pixel.
    png_color palette[5];
    int entry_of[5];
    int entries = 0;
    for (int pen = 0; pen < 5; pen++) {
        const png_color colour = {static_cast<png_byte>(pen_rgb[pen][0]),
                                  static_cast<png_byte>(pen_rgb[pen][1]),
                                  static_cast<png_byte>(pen_rgb[pen][2])};
        int entry = 0;
        while (entry < entries &&
               (palette[entry].red != colour.red || palette[entry].green != colour.green ||
                palette[entry].blue != colour.blue))
            entry++;
        if (entry == entries)
            palette[entries++] = colour;
        entry_of[pen] = entry;
    }
    const int depth = entries <= 2 ? 1 : entries <= 4 ? 2 : 4;

    png_structp png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, nullptr, png_failed,
                                                png_warned, nullptr, png_take, png_give_back);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    if (info == nullptr)
        fatal_error("Writing PNG: the PNG library does not start");
    png_set_write_fn(png, nullptr, png_put, png_no_flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image_width),
                 static_cast<png_uint_32>(image_height), depth, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette, entries);
    // Each row is stored as its difference from the row above ("Up"), so
    // that a row equal to it becomes zeros; runs of equal bytes are all
    // there is left to compress.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_strategy(png, Z_RLE);
    png_set_compression_level(png, 1);
    png_set_compression_buffer_size(png, PNG_CHUNK);
    png_write_info(png, info);

    // Rows top down, the leftmost pixel in the highest bits of its byte.
    const std::size_t size =
        (static_cast<std::size_t>(image_width) * static_cast<std::size_t>(depth) + 7) / 8;
    unsigned char *line = room(encoded, size);
    for (int y = image_height - 1; y >= 0;) {
        const int run = canvas_run(y, -1);
        const unsigned char *row = canvas_row_pens(y);
        std::memset(line, 0, size);
        for (int x = 0; x < image_width; x++) {
            const int bit = x * depth;
            line[bit / 8] |= static_cast<unsigned char>(entry_of[row[x]] << (8 - depth - bit % 8));
        }
        for (int i = 0; i < run; i++)
            png_write_row(png, line);
        y -= run;
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
}

void write_svg() {
    progress("Writing SVG\n");
    int count;
    const FillRecord *fills = canvas_fills(count);

    // The face is nothing but rectangles: each fill becomes one, in the
    // order the face made them, so that later ones cover earlier ones.
    // Rows of the document run from the top, those of the face from the
    // bottom.  Whole pixels, and no smoothing of the edges, give exactly the
    // pixels of the other formats at the picture's own size.
    constexpr std::size_t HEAD_ROOM = 512;
    constexpr std::size_t RECT_ROOM = 96;
    char *text = reinterpret_cast<char *>(
        room(encoded, HEAD_ROOM + RECT_ROOM * static_cast<std::size_t>(count)));
    int length = std::snprintf(
        text, HEAD_ROOM,
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%i\" "
        "height=\"%i\" viewBox=\"0 0 %i %i\" shape-rendering=\"crispEdges\">\n"
        "<title>%i:%02i:%02i</title>\n",
        image_width, image_height, image_width, image_height, shown_hour, shown_minute,
        shown_second);
    for (int i = 0; i < count; i++) {
        const FillRecord &fill = fills[i];
        const int *rgb = pen_rgb[fill.pen];
        length += std::snprintf(
            text + length, RECT_ROOM,
            "<rect x=\"%i\" y=\"%i\" width=\"%i\" height=\"%i\" fill=\"#%02x%02x%02x\"/>\n",
            fill.x0, image_height - 1 - fill.y1, fill.x1 - fill.x0 + 1, fill.y1 - fill.y0 + 1,
            rgb[0], rgb[1], rgb[2]);
    }
    length += std::snprintf(text + length, HEAD_ROOM, "</svg>\n");
    put(reinterpret_cast<unsigned char *>(text), static_cast<std::size_t>(length));
}

void write_image() {
    switch (output_format) {
    case FORMAT_XBM: write_xbm(); break;
    case FORMAT_XPM: write_xpm(); break;
    case FORMAT_PBM: write_pbm(); break;
    case FORMAT_BMP: write_bmp(0); break;
    case FORMAT_BMPWIN: write_bmp(1); break;
    case FORMAT_PNG: write_png(); break;
    case FORMAT_SVG: write_svg(); break;
    default: write_ppm(); break;
    }
}
