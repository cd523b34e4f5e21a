#pragma once

#include <cstdint>

// The program's entry routine: brings up the platform, allocates the view state, builds and shows the
// main window and runs the event loop until it has been closed. Always returns 0.
std::int32_t programMain();

// Allocates `view` from the platform's heap, every field zero.
void allocateViewState();
// Gives `view` back; registered as an exit routine.
void releaseViewState();

// Rounding to nearest and every floating-point exception masked: no arithmetic traps.
void resetFloatingPoint();
