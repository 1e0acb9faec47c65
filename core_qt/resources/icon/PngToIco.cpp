// Packs PNG images into one Windows icon file, each image stored as PNG (which
// Windows reads since Vista), so the Windows resources carry the same drawings
// as the committed PNGs:
//   quorbilan_png_to_ico OUT.ico IN.png...
// Plain C++ so that it builds and runs on whatever machine builds the program.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

bool readFile(const char* path, Bytes& data)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

uint32_t bigEndian32(const Bytes& data, size_t at)
{
    return uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 | uint32_t(data[at + 2]) << 8
        | uint32_t(data[at + 3]);
}

void put16(Bytes& out, uint32_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put32(Bytes& out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// The width and height from the PNG's header chunk, which always comes first.
bool pngSize(const Bytes& png, uint32_t& width, uint32_t& height)
{
    static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 24 || !std::equal(std::begin(signature), std::end(signature), png.begin())
        || std::string(png.begin() + 12, png.begin() + 16) != "IHDR")
        return false;
    width = bigEndian32(png, 16);
    height = bigEndian32(png, 20);
    return width >= 1 && width <= 256 && height >= 1 && height <= 256;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT.ico IN.png...\n", argv[0]);
        return 2;
    }
    std::vector<Bytes> images;
    Bytes entries;
    const uint32_t count = uint32_t(argc - 2);
    uint32_t offset = 6 + 16 * count;
    for (int i = 2; i < argc; ++i) {
        Bytes png;
        uint32_t width = 0, height = 0;
        if (!readFile(argv[i], png) || !pngSize(png, width, height)) {
            std::fprintf(stderr, "%s: not a PNG of at most 256 x 256 pixels\n", argv[i]);
            return 1;
        }
        // ICONDIRENTRY: 0 stands for 256 pixels.
        entries.push_back(uint8_t(width & 0xFF));
        entries.push_back(uint8_t(height & 0xFF));
        entries.push_back(0); // no palette
        entries.push_back(0);
        put16(entries, 1); // planes
        put16(entries, 32); // bits per pixel
        put32(entries, uint32_t(png.size()));
        put32(entries, offset);
        offset += uint32_t(png.size());
        images.push_back(std::move(png));
    }
    Bytes out;
    put16(out, 0); // ICONDIR: reserved, type 1 (icon), count
    put16(out, 1);
    put16(out, count);
    out.insert(out.end(), entries.begin(), entries.end());
    for (const Bytes& png : images)
        out.insert(out.end(), png.begin(), png.end());

    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    if (!file.flush()) {
        std::fprintf(stderr, "%s: cannot write\n", argv[1]);
        return 1;
    }
    return 0;
}
