#pragma once

#include "platform/design.h"

#include <cstdint>
#include <span>
#include <string_view>

// The identifier of the program's one window.
constexpr std::int32_t mainWindowIdentifier = 1;

// The program's window design: the main window with its eight controls, their settings and the
// handler each event runs.
std::span<const WindowDesign> programWindowDesign();

// The settings of one of the main window's canvases as the design gives them (size, border,
// background, store, visibility), for in-memory canvases laid out like the window's. The name must
// be that of a canvas of the design.
CanvasSettings designedCanvasSettings(std::string_view canvasName);
