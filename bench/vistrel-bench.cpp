// vistrel-bench: times the viewer's drawing operations on in-memory canvases, one repetition per
// output line (milliseconds), so that other tools can run the same cases side by side.
//
//   vistrel-bench redraw (--raw FILE W H | --synthetic W H) --scale S --view tl|mid
//                 --target view|redraw [--repeat N] [--dump OUT]
//   vistrel-bench drag [--source X Y] [--repeat N]
//   vistrel-bench decode FILE [--repeat N]
//
// Setup is untimed, and one untimed warm-up repetition runs before the timed ones. Failure: a non-zero
// exit and one line on stderr.

#include "display/canvas.h"
#include "display/pictureStore.h"
#include "viewer/viewState.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t viewOuterWidth = 432;
constexpr std::int32_t viewOuterHeight = 336;
constexpr std::int32_t viewClientWidth = viewOuterWidth - 2;
constexpr std::int32_t viewClientHeight = viewOuterHeight - 2;

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "vistrel-bench: %s\n", message.c_str());
    std::exit(1);
}

std::int64_t parseInteger(const char* text, const char* what)
{
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0) {
        fail(std::string("bad ") + what + ": " + text);
    }
    return value;
}

double parseDouble(const char* text, const char* what)
{
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value > 0) || value > 1e300) {
        fail(std::string("bad ") + what + ": " + text);
    }
    return value;
}

// Runs the operation once untimed, then `repeat` times, printing each time in milliseconds. `before`
// (untimed) runs before every repetition.
void timeRepetitions(std::int64_t repeat, const std::function<void()>& before,
                     const std::function<void()>& operation, const std::function<void()>& after)
{
    for (std::int64_t i = 0; i <= repeat; ++i) {
        before();
        const auto start = std::chrono::steady_clock::now();
        operation();
        const auto stop = std::chrono::steady_clock::now();
        after();
        if (i > 0) {
            std::printf("%.6f\n", std::chrono::duration<double, std::milli>(stop - start).count());
        }
    }
}

// Noise over hard-edged blocks and a gradient: averaging has something to do everywhere.
std::uint32_t syntheticPixel(std::uint64_t x, std::uint64_t y)
{
    std::uint64_t h = x * 0x9E3779B97F4A7C15ull ^ (y + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    const std::uint32_t block = ((x / 61 + y / 47) % 2 == 0) ? 200 : 40;
    const auto red = std::uint32_t((block + (h & 0x3F)) & 0xFF);
    const auto green = std::uint32_t((x * 255 / 4096 + ((h >> 8) & 0x1F)) & 0xFF);
    const auto blue = std::uint32_t((y % 256) ^ ((h >> 16) & 0xFF));
    return opaquePixel(red, green, blue);
}

std::int32_t makeSyntheticPicture(std::int64_t width, std::int64_t height)
{
    auto picture = allocatePicture(PictureKind::Bmp, width, height);
    if (!picture) {
        fail("cannot make a picture of that size");
    }
    for (std::int64_t y = 0; y < height; ++y) {
        std::uint32_t* row = picture->pixels.data() + y * width;
        for (std::int64_t x = 0; x < width; ++x) {
            row[x] = syntheticPixel(std::uint64_t(x), std::uint64_t(y));
        }
    }
    return addPicture(std::move(*picture));
}

// Raw 32-bit little-endian words 0xFFRRGGBB, rows packed, stored as they are.
std::int32_t readRawPicture(const char* fileName, std::int64_t width, std::int64_t height)
{
    auto picture = allocatePicture(PictureKind::Bmp, width, height);
    if (!picture) {
        fail("cannot make a picture of that size");
    }
    std::FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) {
        fail(std::string("cannot open ") + fileName);
    }
    const std::size_t count = picture->pixels.size();
    std::vector<unsigned char> bytes(count * 4);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (got != bytes.size()) {
        fail(std::string(fileName) + ": shorter than W x H x 4 bytes");
    }
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* b = bytes.data() + 4 * i;
        picture->pixels[i] =
            std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | 0xFF000000u;
    }
    return addPicture(std::move(*picture));
}

CanvasSettings viewCanvasSettings()
{
    return {viewOuterWidth,
            viewOuterHeight,
            BorderStyle::singleLine,
            CanvasColour::fromRgb(255, 255, 255),
            false,
            true};
}

// The back canvas as the window makes it: 88 x 72, then three times the view's outer size.
std::unique_ptr<Canvas> makeBackCanvas()
{
    auto back = std::make_unique<Canvas>(
        CanvasSettings{88, 72, BorderStyle::none, CanvasColour::systemFace(), true, false});
    back->setWidth(3 * viewOuterWidth);
    back->setHeight(3 * viewOuterHeight);
    back->setVisible(false);
    return back;
}

void dumpView(const Canvas& viewCanvas, const std::string& fileName)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(std::size_t(viewClientWidth) * viewClientHeight * 4);
    for (std::int32_t y = 0; y < viewClientHeight; ++y) {
        for (std::int32_t x = 0; x < viewClientWidth; ++x) {
            const std::uint32_t p = viewCanvas.pixel(x, y);
            for (int shift = 0; shift < 32; shift += 8) {
                bytes.push_back(static_cast<unsigned char>(p >> shift));
            }
        }
    }
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
        fail("cannot write " + fileName);
    }
}

struct Options {
    std::vector<std::string> positional;
    std::int64_t repeat = 1;
    std::string rawFile;
    std::int64_t width = -1;
    std::int64_t height = -1;
    bool synthetic = false;
    double scale = 0;
    std::string viewPlace;
    std::string target;
    std::string dumpFile;
    std::int64_t sourceX = viewOuterWidth;
    std::int64_t sourceY = viewOuterHeight;
};

Options parseOptions(int argc, char** argv)
{
    Options options;
    auto need = [&](int i, int count) {
        if (i + count >= argc) {
            fail(std::string(argv[i]) + " needs " + std::to_string(count) + " value(s)");
        }
    };
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--repeat") {
            need(i, 1);
            options.repeat = parseInteger(argv[++i], "repeat count");
            if (options.repeat < 1) {
                fail("--repeat must be at least 1");
            }
        } else if (arg == "--raw") {
            need(i, 3);
            options.rawFile = argv[i + 1];
            options.width = parseInteger(argv[i + 2], "width");
            options.height = parseInteger(argv[i + 3], "height");
            i += 3;
        } else if (arg == "--synthetic") {
            need(i, 2);
            options.synthetic = true;
            options.width = parseInteger(argv[i + 1], "width");
            options.height = parseInteger(argv[i + 2], "height");
            i += 2;
        } else if (arg == "--scale") {
            need(i, 1);
            options.scale = parseDouble(argv[++i], "scale");
        } else if (arg == "--view") {
            need(i, 1);
            options.viewPlace = argv[++i];
        } else if (arg == "--target") {
            need(i, 1);
            options.target = argv[++i];
        } else if (arg == "--dump") {
            need(i, 1);
            options.dumpFile = argv[++i];
        } else if (arg == "--source") {
            need(i, 2);
            options.sourceX = parseInteger(argv[i + 1], "source x");
            options.sourceY = parseInteger(argv[i + 2], "source y");
            i += 2;
        } else if (arg.rfind("--", 0) == 0) {
            fail("unknown option " + arg);
        } else {
            options.positional.push_back(arg);
        }
    }
    return options;
}

int runRedraw(const Options& options)
{
    if (!options.positional.empty()) {
        fail("unexpected argument " + options.positional.front());
    }
    if (options.synthetic == !options.rawFile.empty()) {
        fail("redraw needs one of --raw FILE W H and --synthetic W H");
    }
    if (options.width <= 0 || options.height <= 0) {
        fail("the picture must be at least 1 x 1");
    }
    if (options.scale <= 0) {
        fail("redraw needs --scale S");
    }
    if (options.viewPlace != "tl" && options.viewPlace != "mid") {
        fail("--view must be tl or mid");
    }
    if (options.target != "view" && options.target != "redraw") {
        fail("--target must be view or redraw");
    }
    const std::int32_t id = options.synthetic
                                ? makeSyntheticPicture(options.width, options.height)
                                : readRawPicture(options.rawFile.c_str(), options.width, options.height);
    const std::int64_t drawWidth = truncToInt(double(options.width) * options.scale);
    const std::int64_t drawHeight = truncToInt(double(options.height) * options.scale);
    std::int64_t viewX = 0;
    std::int64_t viewY = 0;
    if (options.viewPlace == "mid") {
        viewX = std::max<std::int64_t>(0, (drawWidth - viewClientWidth) / 2);
        viewY = std::max<std::int64_t>(0, (drawHeight - viewClientHeight) / 2);
    }

    auto viewCanvas = std::make_unique<Canvas>(viewCanvasSettings());
    if (options.target == "view") {
        timeRepetitions(
            options.repeat, [] {},
            [&] {
                viewCanvas->clear();
                viewCanvas->drawPictureWide(id, -viewX, -viewY, drawWidth, drawHeight);
            },
            [] {});
    } else {
        // The viewer draws through 32-bit sizes and offsets; beyond them it would draw something else.
        if (drawWidth > INT32_MAX || drawHeight > INT32_MAX || viewX > INT32_MAX - viewOuterWidth ||
            viewY > INT32_MAX - viewOuterHeight) {
            fail("--target redraw needs the scaled picture and its offsets within 32 bits");
        }
        auto back = makeBackCanvas();
        ViewState state{};
        view = &state;
        画板 = viewCanvas.get();
        画板后台 = back.get();
        viewWidth = 画板->width();
        viewHeight = 画板->height();
        pictureId = id;
        pictureWidth = std::int32_t(options.width);
        pictureHeight = std::int32_t(options.height);
        timeRepetitions(
            options.repeat,
            [&] {
                state = ViewState{viewWidth - viewX, viewHeight - viewY, options.scale};
            },
            [] { redrawView(); }, [] {});
    }
    if (!options.dumpFile.empty()) {
        dumpView(*viewCanvas, options.dumpFile);
    }
    return 0;
}

int runDrag(const Options& options)
{
    if (!options.positional.empty()) {
        fail("unexpected argument " + options.positional.front());
    }
    auto back = makeBackCanvas();
    const std::int32_t id = makeSyntheticPicture(back->clientWidth(), back->clientHeight());
    back->drawPicture(id, 0, 0);
    unloadPicture(id);
    auto viewCanvas = std::make_unique<Canvas>(viewCanvasSettings());
    if (options.sourceX < INT32_MIN || options.sourceX > INT32_MAX || options.sourceY < INT32_MIN ||
        options.sourceY > INT32_MAX) {
        fail("--source beyond 32 bits");
    }
    timeRepetitions(
        options.repeat, [] {},
        [&] {
            back->copyRect(std::int32_t(options.sourceX), std::int32_t(options.sourceY), viewOuterWidth,
                           viewOuterHeight, *viewCanvas, 0, 0);
        },
        [] {});
    return 0;
}

int runDecode(const Options& options)
{
    if (options.positional.size() != 1) {
        fail("decode needs one FILE");
    }
    const std::string& fileName = options.positional.front();
    std::int32_t id = 0;
    timeRepetitions(
        options.repeat, [] {}, [&] { id = loadPicture(fileName); },
        [&] {
            if (id == 0) {
                fail(fileName + ": cannot load this picture");
            }
            unloadPicture(id);
        });
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fail("usage: vistrel-bench redraw|drag|decode ...");
    }
    const std::string command = argv[1];
    const Options options = parseOptions(argc, argv);
    if (command == "redraw") {
        return runRedraw(options);
    }
    if (command == "drag") {
        return runDrag(options);
    }
    if (command == "decode") {
        return runDecode(options);
    }
    fail("unknown command " + command);
}
