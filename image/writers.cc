#include "writers.h"

#include "canvas.h"
#include "options.h"
#include "quadface.h"

#include <cerrno>
#include <vector>

std::FILE *output_file;
int output_error;

namespace {

void progress(const char *line) {
    if (verbose)
        std::fputs(line, stderr);
}

void put(const std::vector<unsigned char> &bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), output_file) != bytes.size() &&
        output_error == 0)
        output_error = errno;
}

// The rim, the hour marker and the minutes are the foreground of the
// one-bit formats; the background and the inside of the square are not.
constexpr bool is_foreground(unsigned char pen) { return pen >= PEN_SQUARE; }

// One byte of 8 pixels of a row from column x on.  lsb_first puts the
// leftmost pixel in bit 0 (XBM), otherwise in bit 7 (PBM).
unsigned char pack_bits(const unsigned char *row, int x, bool lsb_first) {
    unsigned bits = 0;
    for (int k = 0; k < 8; k++)
        if (is_foreground(row[x + k]))
            bits |= lsb_first ? 1u << k : 0x80u >> k;
    return static_cast<unsigned char>(bits);
}

constexpr char pen_chars[] = ".,#@%";
constexpr char hex_digits[] = "0123456789abcdef";

// Little-endian fields, byte by byte.
void put_le16(std::vector<unsigned char> &out, unsigned value) {
    out.push_back(static_cast<unsigned char>(value & 0xff));
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xff));
}

void put_le32(std::vector<unsigned char> &out, unsigned long value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>((value >> shift) & 0xff));
}

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

    std::vector<unsigned char> line;
    for (int y = image_height - 1; y >= 0; y--) {
        const unsigned char *row = canvas_row(y);
        line.clear();
        line.push_back('"');
        for (int x = 0; x < image_width; x++)
            line.push_back(static_cast<unsigned char>(pen_chars[row[x]]));
        line.push_back('"');
        if (y > 0)
            line.push_back(',');
        line.push_back('\n');
        put(line);
    }
    std::fputs("};\n", output_file);
}

void write_ppm() {
    progress("Writing PPM\n");
    std::fprintf(output_file, "P6\n%i %i\n255\n", image_width, image_height);
    std::vector<unsigned char> line(3 * static_cast<std::size_t>(image_width));
    for (int y = image_height - 1; y >= 0; y--) {
        const unsigned char *row = canvas_row(y);
        unsigned char *out = line.data();
        for (int x = 0; x < image_width; x++) {
            const int *rgb = pen_rgb[row[x]];
            *out++ = static_cast<unsigned char>(rgb[0]);
            *out++ = static_cast<unsigned char>(rgb[1]);
            *out++ = static_cast<unsigned char>(rgb[2]);
        }
        put(line);
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
    // picture may begin in the middle of a line of text.
    long count = 0;
    std::vector<unsigned char> text;
    for (int y = image_height - 1; y >= 0; y--) {
        const unsigned char *row = canvas_row(y);
        text.clear();
        for (int x = 0; x < canvas_columns; x += 8) {
            const unsigned char bits = pack_bits(row, x, true);
            count++;
            text.push_back('0');
            text.push_back('x');
            text.push_back(static_cast<unsigned char>(hex_digits[bits >> 4]));
            text.push_back(static_cast<unsigned char>(hex_digits[bits & 15]));
            if (y == 0 && x + 8 == canvas_columns) {
                text.push_back('}');
                text.push_back(';');
            } else {
                text.push_back(',');
            }
            if (count % 15 == 0)
                text.push_back('\n');
        }
        put(text);
    }
    if (count % 15 != 0)
        std::fputc('\n', output_file);
}

void write_pbm() {
    progress("Writing PBM\n");
    std::fprintf(output_file, "P4\n%i %i\n", image_width, image_height);
    std::vector<unsigned char> line(static_cast<std::size_t>(canvas_columns / 8));
    for (int y = image_height - 1; y >= 0; y--) {
        const unsigned char *row = canvas_row(y);
        for (int x = 0; x < canvas_columns; x += 8)
            line[static_cast<std::size_t>(x / 8)] = pack_bits(row, x, false);
        put(line);
    }
}

void write_bmp(int form) {
    progress(form ? "Writing BMP Windows\n" : "Writing BMP\n");
    const unsigned long row_size = static_cast<unsigned long>(canvas_columns) / 2;
    const unsigned long header_size = form ? 14 + 40 + 16 * 4 : 14 + 12 + 16 * 3;

    std::vector<unsigned char> header;
    header.push_back('B');
    header.push_back('M');
    put_le32(header, row_size * static_cast<unsigned long>(image_height) + header_size);
    put_le16(header, 0);
    put_le16(header, 0);
    put_le32(header, header_size);
    if (form) {
        put_le32(header, 40);
        put_le32(header, static_cast<unsigned long>(image_width));
        put_le32(header, static_cast<unsigned long>(image_height));  // bottom-up
        put_le16(header, 1);  // planes
        put_le16(header, 4);  // bits per pixel
        for (int field = 0; field < 6; field++)
            put_le32(header, 0);  // no compression, sizes and colour counts open
    } else {
        put_le32(header, 12);
        put_le16(header, static_cast<unsigned>(image_width));
        put_le16(header, static_cast<unsigned>(image_height));
        put_le16(header, 1);
        put_le16(header, 4);
    }
    // The five pens first, so that a pixel's palette index is its pen, then
    // black for the eleven entries nothing refers to.
    for (int entry = 0; entry < 16; entry++) {
        const int *rgb = pen_rgb[entry < 5 ? entry : 0];
        const bool used = entry < 5;
        header.push_back(static_cast<unsigned char>(used ? rgb[2] : 0));
        header.push_back(static_cast<unsigned char>(used ? rgb[1] : 0));
        header.push_back(static_cast<unsigned char>(used ? rgb[0] : 0));
        if (form)
            header.push_back(0);
    }
    put(header);

    // Rows bottom-up, two pixels a byte, the left one in the high nibble; the
    // padding columns make every row a whole number of 4-byte words.
    std::vector<unsigned char> line(row_size);
    for (int y = 0; y < image_height; y++) {
        const unsigned char *row = canvas_row(y);
        for (unsigned long i = 0; i < row_size; i++)
            line[i] = static_cast<unsigned char>(row[2 * i] << 4 | row[2 * i + 1]);
        put(line);
    }
}

void write_image() {
    switch (output_format) {
    case FORMAT_XBM: write_xbm(); break;
    case FORMAT_XPM: write_xpm(); break;
    case FORMAT_PBM: write_pbm(); break;
    case FORMAT_BMP: write_bmp(0); break;
    case FORMAT_BMPWIN: write_bmp(1); break;
    default: write_ppm(); break;
    }
}
