// vistrel-decode IN OUT.ppm: loads IN through the picture store and writes what the canvas draws of
// it at its own size on white (icons through their mask) as a binary PPM. On a failed load it writes
// nothing, prints one line to stderr and exits 1.

#include "display/canvas.h"
#include "display/pictureStore.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: vistrel-decode IN OUT.ppm\n");
        return 2;
    }
    const std::int32_t id = loadPicture(argv[1]);
    if (id == 0) {
        std::fprintf(stderr, "vistrel-decode: %s: cannot load this picture\n", argv[1]);
        return 1;
    }
    const PictureSize size = getPictureSize(id);
    std::vector<unsigned char> rgb;
    if (size.width > 0 && size.height > 0) {
        // Canvases stop at 32627 pixels a side; a larger picture is drawn in tiles.
        const std::int32_t tile = 4096;
        rgb.resize(std::size_t(size.width) * std::size_t(size.height) * 3);
        for (std::int64_t tileTop = 0; tileTop < size.height; tileTop += tile) {
            for (std::int64_t tileLeft = 0; tileLeft < size.width; tileLeft += tile) {
                const auto tileWidth = std::int32_t(std::min<std::int64_t>(tile, size.width - tileLeft));
                const auto tileHeight = std::int32_t(std::min<std::int64_t>(tile, size.height - tileTop));
                CanvasSettings tileSettings;
                tileSettings.width = tileWidth;
                tileSettings.height = tileHeight;
                tileSettings.keepsStore = true;
                Canvas tileCanvas(tileSettings);
                tileCanvas.drawPicture(id, std::int32_t(-tileLeft), std::int32_t(-tileTop), size.width,
                                       size.height);
                for (std::int32_t y = 0; y < tileHeight; ++y) {
                    unsigned char* out =
                        rgb.data() + ((std::size_t(tileTop) + std::size_t(y)) * std::size_t(size.width) +
                                      std::size_t(tileLeft)) *
                                         3;
                    for (std::int32_t x = 0; x < tileWidth; ++x) {
                        const std::uint32_t pixel = tileCanvas.pixel(x, y);
                        *out++ = static_cast<unsigned char>(pixel >> 16);
                        *out++ = static_cast<unsigned char>(pixel >> 8);
                        *out++ = static_cast<unsigned char>(pixel);
                    }
                }
            }
        }
    }
    std::FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "vistrel-decode: %s: cannot write\n", argv[2]);
        return 1;
    }
    const std::string header =
        "P6\n" + std::to_string(size.width) + " " + std::to_string(size.height) + "\n255\n";
    bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                   (rgb.empty() || std::fwrite(rgb.data(), 1, rgb.size(), file) == rgb.size());
    written = std::fclose(file) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "vistrel-decode: %s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
