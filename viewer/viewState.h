#pragma once

#include <cstdint>

class Canvas;
class OpenFileDialog;

// Where the picture lies and how large it is drawn.
struct ViewState {
    std::int64_t offsetX; // the picture's top-left corner in back-canvas pixels
    std::int64_t offsetY;
    double scale; // 1.0 draws the picture at its own size
};

// The viewer's module-wide state. All start at zero; `view` is allocated at start-up.
extern ViewState* view;
extern std::int32_t pictureId;
extern std::int32_t pictureWidth;
extern std::int32_t pictureHeight;
extern std::int32_t viewWidth;
extern std::int32_t viewHeight;
extern std::int32_t dragging;
extern std::int32_t dragStartX;
extern std::int32_t dragStartY;

// The window's controls that the viewer draws on and asks, set up when the window is built.
extern Canvas* 画板;     // the view canvas
extern Canvas* 画板后台; // the hidden back canvas, three times the view's size
extern OpenFileDialog* 通用对话框;

// A double to a signed 64-bit integer by truncation toward zero. Total: NaN gives 0, and values
// beyond the 64-bit range give its nearest end.
std::int64_t truncToInt(double value);

// The low 32 bits, for a 32-bit variable or argument.
constexpr std::int32_t low32(std::int64_t value)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

// a < b between doubles, made tolerant: a shortfall of 1e-7 or less counts as equal.
constexpr bool lessThan(double a, double b)
{
    return a - b < -1e-7;
}

// Renders `view`: the picture drawn into the back canvas, its middle third copied into the view.
void redrawView();
