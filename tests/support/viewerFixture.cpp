#include "tests/support/viewerFixture.h"

#include "display/pictureStore.h"

#include <cstdio>
#include <sstream>

std::uint32_t patternPixel(std::int32_t x, std::int32_t y)
{
    return opaquePixel(std::uint32_t(x * 4) & 0xFF, std::uint32_t(y * 4) & 0xFF, std::uint32_t(x + y) & 0xFF);
}

std::int32_t addPatternPicture(std::int32_t width, std::int32_t height,
                               const std::function<std::uint32_t(std::int32_t, std::int32_t)>& pixel)
{
    auto picture = allocatePicture(PictureKind::Bmp, width, height);
    if (!picture) {
        return 0;
    }
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            picture->pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                pixel ? pixel(x, y) : patternPixel(x, y);
        }
    }
    return addPicture(std::move(*picture));
}

namespace {

void putLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out.push_back(std::uint8_t(value >> (8 * i)));
    }
}

bool writeBytes(const std::string& path, const void* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

} // namespace

bool writePatternBmp(const std::string& path, std::int32_t width, std::int32_t height)
{
    const std::uint32_t stride = (std::uint32_t(width) * 3 + 3) & ~3u;
    const std::uint32_t dataSize = stride * std::uint32_t(height);
    std::vector<std::uint8_t> bmp;
    bmp.push_back('B');
    bmp.push_back('M');
    putLittleEndian(bmp, 54 + dataSize, 4);
    putLittleEndian(bmp, 0, 4);
    putLittleEndian(bmp, 54, 4);
    putLittleEndian(bmp, 40, 4);
    putLittleEndian(bmp, std::uint32_t(width), 4);
    putLittleEndian(bmp, std::uint32_t(height), 4); // positive: bottom row first
    putLittleEndian(bmp, 1, 2);
    putLittleEndian(bmp, 24, 2);
    putLittleEndian(bmp, 0, 4); // no compression
    putLittleEndian(bmp, dataSize, 4);
    putLittleEndian(bmp, 2835, 4);
    putLittleEndian(bmp, 2835, 4);
    putLittleEndian(bmp, 0, 4);
    putLittleEndian(bmp, 0, 4);
    for (std::int32_t row = height - 1; row >= 0; --row) {
        const std::size_t rowStart = bmp.size();
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t pixel = patternPixel(x, row);
            bmp.push_back(std::uint8_t(pixel));
            bmp.push_back(std::uint8_t(pixel >> 8));
            bmp.push_back(std::uint8_t(pixel >> 16));
        }
        bmp.resize(rowStart + stride, 0);
    }
    return writeBytes(path, bmp.data(), bmp.size());
}

bool writeTextFile(const std::string& path, const std::string& text)
{
    return writeBytes(path, text.data(), text.size());
}

std::string testFilePath(const std::string& name)
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string prefix = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "test";
    for (char& c : prefix) {
        if (c == '/') {
            c = '_';
        }
    }
    return ::testing::TempDir() + "vistrel-" + prefix + "-" + name;
}

std::vector<std::uint32_t> canvasPixels(const Canvas& canvas)
{
    return std::vector<std::uint32_t>(canvas.pixels(),
                                      canvas.pixels() + std::size_t(canvas.arrayWidth()) *
                                                            std::size_t(canvas.arrayHeight()));
}

::testing::AssertionResult
canvasShows(const Canvas& canvas, const std::function<std::uint32_t(std::int32_t, std::int32_t)>& expected)
{
    std::int64_t wrong = 0;
    std::ostringstream first;
    for (std::int32_t y = 0; y < canvas.arrayHeight(); ++y) {
        for (std::int32_t x = 0; x < canvas.arrayWidth(); ++x) {
            const std::uint32_t want = expected(x, y);
            const std::uint32_t got = canvas.pixel(x, y);
            if (got != want && wrong++ == 0) {
                first << std::hex << "first at (" << std::dec << x << ", " << y << "): got 0x" << std::hex
                      << got << ", expected 0x" << want;
            }
        }
    }
    if (wrong == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << wrong << " pixels differ, " << first.str();
}

std::vector<std::uint32_t> referenceView(std::int32_t id, std::int32_t offsetX, std::int32_t offsetY,
                                         std::int32_t drawWidth, std::int32_t drawHeight)
{
    CanvasSettings backSettings;
    backSettings.width = 1296;
    backSettings.height = 1008;
    backSettings.backgroundColor = CanvasColour::systemFace();
    backSettings.keepsStore = true;
    Canvas back(backSettings);
    CanvasSettings viewSettings;
    viewSettings.width = 432;
    viewSettings.height = 336;
    viewSettings.borderStyle = BorderStyle::singleLine;
    Canvas shown(viewSettings);
    back.drawPicture(id, offsetX, offsetY, drawWidth, drawHeight);
    back.copyRect(432, 336, 432, 336, shown, 0, 0);
    return canvasPixels(shown);
}

void ViewerFixture::makeDesignCanvases()
{
    setSystemFaceColour(fixtureFace);
    state = ViewState{};
    view = &state;
    pictureId = 0;
    pictureWidth = 0;
    pictureHeight = 0;
    viewWidth = 0;
    viewHeight = 0;
    dragging = 0;
    dragStartX = 0;
    dragStartY = 0;

    CanvasSettings viewSettings;
    viewSettings.width = 432;
    viewSettings.height = 336;
    viewSettings.borderStyle = BorderStyle::singleLine;
    viewSettings.backgroundColor = CanvasColour::fromRgb(255, 255, 255);
    viewSettings.keepsStore = false;
    CanvasSettings backSettings;
    backSettings.width = 88;
    backSettings.height = 72;
    backSettings.borderStyle = BorderStyle::none;
    backSettings.backgroundColor = CanvasColour::systemFace();
    backSettings.keepsStore = true;
    backSettings.visible = false;
    viewCanvas = std::make_unique<Canvas>(viewSettings);
    backCanvas = std::make_unique<Canvas>(backSettings);
    画板 = viewCanvas.get();
    画板后台 = backCanvas.get();
    通用对话框 = &dialog;
}

void ViewerFixture::SetUp()
{
    makeDesignCanvases();
    // What the window's created handler leaves (the app tests hold it to exactly this).
    viewWidth = 432;
    viewHeight = 336;
    backCanvas->setWidth(1296);
    backCanvas->setHeight(1008);
    state = ViewState{432, 336, 1.0};
}

void ViewerFixture::TearDown()
{
    unloadPicture(pictureId);
    pictureId = 0;
    画板 = nullptr;
    画板后台 = nullptr;
    通用对话框 = nullptr;
    view = nullptr;
}

void ViewerFixture::showPicture(std::int32_t width, std::int32_t height)
{
    unloadPicture(pictureId);
    pictureId = addPatternPicture(width, height);
    pictureWidth = width;
    pictureHeight = height;
    state = ViewState{viewWidth, viewHeight, 1.0};
    redrawView();
}

ViewerGlobals currentGlobals()
{
    return {view->offsetX, view->offsetY, view->scale, pictureId,  pictureWidth, pictureHeight,
            viewWidth,     viewHeight,    dragging,    dragStartX, dragStartY};
}
