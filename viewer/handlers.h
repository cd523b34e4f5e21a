#pragma once

#include <cstdint>

// The viewer's commands, wired to the window's controls. Each works on `view` and the module-wide
// variables of viewState.h, and all but the drag preview end with redrawView.

// 按钮导入 clicked: asks the open-file dialog for a file and shows it at home, at its own size.
void onImportClicked();

// 按钮放大 and 按钮缩小 clicked: the zoom factor times 1.2 or 0.8.
void onZoomInClicked();
void onZoomOutClicked();

// 画板 wheel scrolled: each whole notch adds 0.2 to the zoom factor (taking it away when negative),
// never going below 0.01.
void onViewWheel(std::int32_t distance, std::int32_t keys);

// 画板 left button pressed, mouse moved and left button released: drag to pan, previewed by copying
// a shifted window of the back canvas, committed on release.
void onViewLeftPressed(std::int32_t x, std::int32_t y, std::int32_t keys);
void onViewMouseMoved(std::int32_t x, std::int32_t y, std::int32_t keys);
void onViewLeftReleased(std::int32_t x, std::int32_t y, std::int32_t keys);
