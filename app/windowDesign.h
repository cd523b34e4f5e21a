#pragma once

#include "platform/design.h"

#include <cstdint>
#include <span>

// The identifier of the program's one window.
constexpr std::int32_t mainWindowIdentifier = 1;

// The program's window design: the main window with its eight controls, their settings and the
// handler each event runs.
std::span<const WindowDesign> programWindowDesign();
