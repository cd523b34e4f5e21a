#pragma once

#include "display/canvas.h"
#include "display/scriptedDialog.h"
#include "viewer/viewState.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// The face colour the fixtures set, distinct from the view canvas's white.
constexpr std::uint32_t fixtureFace = 0xFFF0F0F0u;
constexpr std::uint32_t viewWhite = 0xFFFFFFFFu;

// A colour of its own for every pixel of a picture up to 64 x 64, so any shift or scaling mistake
// shows in the pixels.
std::uint32_t patternPixel(std::int32_t x, std::int32_t y);

// A picture of that size in the store, its pixels patternPixel (or `pixel` when given).
std::int32_t addPatternPicture(std::int32_t width, std::int32_t height,
                               const std::function<std::uint32_t(std::int32_t, std::int32_t)>& pixel = {});

// A bottom-up 24-bit BMP of patternPixel, written to path; false when it cannot be written.
bool writePatternBmp(const std::string& path, std::int32_t width, std::int32_t height);

// A text file (a file the picture store cannot decode).
bool writeTextFile(const std::string& path, const std::string& text);

// A file path for this test under the test temporary folder.
std::string testFilePath(const std::string& name);

// The canvas's pixel array (client area, or store), row by row.
std::vector<std::uint32_t> canvasPixels(const Canvas& canvas);

// Every pixel of the canvas's array against expected(x, y); names the first mismatch and the count.
::testing::AssertionResult
canvasShows(const Canvas& canvas, const std::function<std::uint32_t(std::int32_t, std::int32_t)>& expected);

// What the view canvas shows when picture `id` lies at (offsetX, offsetY) of a freshly cleared back
// canvas, drawn drawWidth x drawHeight: rendered on separate canvases of the same sizes.
std::vector<std::uint32_t> referenceView(std::int32_t id, std::int32_t offsetX, std::int32_t offsetY,
                                         std::int32_t drawWidth, std::int32_t drawHeight);

// The viewer as the main window leaves it once created: the view canvas 432 x 336 with a border,
// white; the back canvas 1296 x 1008, hidden, systemFace, with a store; `view` at home at scale 1.0;
// every other global 0; a scripted dialog with nothing queued. The picture store keeps no picture of
// an earlier test.
class ViewerFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The canvases as the window design creates them, before the created handler resizes the back
    // canvas; every global 0 and `view` all zero.
    void makeDesignCanvases();

    // Puts a pattern picture into the store and shows it as an import would: home, scale 1.0.
    void showPicture(std::int32_t width, std::int32_t height);

    ViewState state{};
    std::unique_ptr<Canvas> viewCanvas;
    std::unique_ptr<Canvas> backCanvas;
    ScriptedDialog dialog;
};

// Every global of the viewer at once, for before/after comparisons.
struct ViewerGlobals {
    std::int64_t offsetX;
    std::int64_t offsetY;
    double scale;
    std::int32_t pictureId;
    std::int32_t pictureWidth;
    std::int32_t pictureHeight;
    std::int32_t viewWidth;
    std::int32_t viewHeight;
    std::int32_t dragging;
    std::int32_t dragStartX;
    std::int32_t dragStartY;
    bool operator==(const ViewerGlobals&) const = default;
};
ViewerGlobals currentGlobals();
