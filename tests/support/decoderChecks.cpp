#include "tests/support/decoderChecks.h"

#include "display/canvas.h"
#include "display/pictureStore.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

void expectEveryTruncationWholeOrNothing(const std::vector<std::uint8_t>& file, const Decoder& decoder)
{
    for (std::size_t length = 0; length < file.size(); ++length) {
        // A copy of exactly that length, so that AddressSanitizer sees any read beyond it.
        const std::vector<std::uint8_t> prefix(file.begin(), file.begin() + std::ptrdiff_t(length));
        const auto picture = decoder(prefix);
        if (!picture) {
            continue;
        }
        const std::size_t area = std::size_t(picture->width) * std::size_t(picture->height);
        ASSERT_GE(picture->width, 0) << "prefix of " << length << " bytes";
        ASSERT_GE(picture->height, 0) << "prefix of " << length << " bytes";
        ASSERT_EQ(picture->pixels.size(), area) << "prefix of " << length << " bytes";
        if (!picture->mask.empty()) {
            ASSERT_EQ(picture->mask.size(), area) << "prefix of " << length << " bytes";
        }
    }
}

namespace {

void expectWhole(const std::optional<Picture>& picture)
{
    if (!picture) {
        return;
    }
    const std::size_t area = std::size_t(picture->width) * std::size_t(picture->height);
    ASSERT_GE(picture->width, 0);
    ASSERT_GE(picture->height, 0);
    ASSERT_EQ(picture->pixels.size(), area);
    if (!picture->mask.empty()) {
        ASSERT_EQ(picture->mask.size(), area);
    }
}

} // namespace

void expectWholeOrNothingOverCorpus(const std::string& corpusDir, const Decoder& decoder)
{
    const std::filesystem::path corpus(corpusDir);
    if (!std::filesystem::is_directory(corpus)) {
        GTEST_SKIP() << "no picture corpus at " << corpus;
    }
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
        SCOPED_TRACE(entry.path().string());
        expectWhole(decoder(bytes));
        ++files;
    }
    EXPECT_GT(files, 0u);
}

std::vector<std::uint32_t> drawnPixels(Picture picture, std::int32_t canvasWidth, std::int32_t canvasHeight,
                                       std::uint32_t background, std::int32_t width, std::int32_t height,
                                       int displayDepth)
{
    const std::int32_t id = addPicture(std::move(picture));
    CanvasSettings settings;
    settings.width = canvasWidth;
    settings.height = canvasHeight;
    settings.keepsStore = true;
    settings.backgroundColor =
        CanvasColour::fromRgb((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF);
    Canvas canvas(settings);
    canvas.setDisplayDepth(displayDepth);
    canvas.clear();
    canvas.drawPicture(id, 0, 0, width, height);
    unloadPicture(id);
    std::vector<std::uint32_t> out;
    for (std::int32_t y = 0; y < canvasHeight; ++y) {
        for (std::int32_t x = 0; x < canvasWidth; ++x) {
            out.push_back(canvas.pixel(x, y));
        }
    }
    return out;
}

std::vector<std::uint32_t> pixelsOf(const Picture& picture)
{
    return {picture.pixels.data(), picture.pixels.data() + picture.pixels.size()};
}

std::vector<std::uint8_t> maskOf(const Picture& picture)
{
    return {picture.mask.data(), picture.mask.data() + picture.mask.size()};
}
