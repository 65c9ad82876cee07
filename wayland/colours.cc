#include "colours.h"

#include "options.h"
#include "quadface.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// #RGB, #RRGGBB, #RRRGGGBBB or #RRRRGGGGBBBB: each group holds the top
// bits of a 16-bit value, of which the colour keeps the top 8.
bool read_hex(const char *digits, std::uint32_t &rgb) {
    const std::size_t length = std::strlen(digits);
    if (length == 0 || length % 3 != 0 || length > 12)
        return false;
    const std::size_t group = length / 3;
    std::uint32_t result = 0;
    for (std::size_t part = 0; part < 3; part++) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < group; i++) {
            const int digit = hex_digit(digits[part * group + i]);
            if (digit < 0)
                return false;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        const std::uint32_t sixteen_bits = value << (16 - 4 * group);
        result = result << 8 | sixteen_bits >> 8;
    }
    rgb = result;
    return true;
}

// A name as the database is searched: lower case, without spaces.
std::string folded(const char *name) {
    std::string out;
    for (const char *p = name; *p != '\0'; p++) {
        const char c = *p;
        if (c == ' ' || c == '\t')
            continue;
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return out;
}

// A line of rgb.txt: three numbers from 0 to 255, then the name up to the
// end of the line; "!" starts a comment.
bool read_entry(const char *line, std::uint32_t &rgb, std::string &name) {
    const char *p = line;
    std::uint32_t value = 0;
    for (int part = 0; part < 3; part++) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (*p < '0' || *p > '9')
            return false;
        int number = 0;
        for (; *p >= '0' && *p <= '9' && number <= 255; p++)
            number = number * 10 + (*p - '0');
        if (number > 255)
            return false;
        value = value << 8 | static_cast<std::uint32_t>(number);
    }
    if (*p != ' ' && *p != '\t')
        return false;
    name = folded(p);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
        name.pop_back();
    rgb = value;
    return !name.empty();
}

bool look_up(const char *name, std::uint32_t &rgb, const char *database) {
    const std::string wanted = folded(name);
    if (wanted.empty())
        return false;
    std::FILE *file = std::fopen(database, "r");
    if (file == nullptr)
        return false;
    char line[256];
    std::string entry;
    std::uint32_t value = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, file) != nullptr)
        found = read_entry(line, value, entry) && entry == wanted;
    std::fclose(file);
    if (found)
        rgb = value;
    return found;
}

// The colour of an option, or fallback when it names none.
std::uint32_t colour_or(const char *name, std::uint32_t fallback, const char *database) {
    std::uint32_t rgb = fallback;
    if (name != nullptr && !read_colour(name, rgb, database))
        rgb = fallback;
    return rgb;
}

}  // namespace

bool read_colour(const char *name, std::uint32_t &rgb, const char *database) {
    if (name[0] == '#')
        return read_hex(name + 1, rgb);
    return look_up(name, rgb, database);
}

void choose_colours(std::uint32_t colours[5], const char *database) {
    const std::uint32_t foreground = colour_or(fg_name, 0x000000, database);
    colours[PEN_BACKGROUND] = colour_or(bg_name, 0xffffff, database);
    colours[PEN_HOUR] = colour_or(hc_name, foreground, database);
    colours[PEN_MINUTE] = colour_or(mc_name, foreground, database);
    colours[PEN_SQUARE] = colour_or(sc_name, foreground, database);
    colours[PEN_INSIDE] = colour_or(ic_name, colours[PEN_BACKGROUND], database);
}
