#pragma once

// The platform layer: heap blocks, exit routines, windows built from the window design, the event
// loop, event raising and the fatal-error box. Everything runs on the UI thread. This header is
// toolkit-free; Qt stays inside platform/.

#include "platform/design.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

// Must be the first call: brings up the toolkit, reads the window design and resolves its bindings,
// and makes the folder of the program file the current directory. A design that cannot be read is a
// fatal error. The designs must outlive the program's windows.
void initPlatform(std::span<const WindowDesign> designs);

// An uninitialised block of the given size. Never returns on failure: the fatal-error box reports it.
void* allocateBlock(std::size_t size);
// A null address is ignored.
void freeBlock(void* block);

// Appends the routine to the exit routines unless it is already there; they run in that order, each
// once, after the event loop, and not at all after a fatal error.
void registerExitRoutine(void (*routine)());

// Builds the window of that identifier and all its controls, raises its created event, raises moved
// and resized once, then shows it centred on the primary screen. A window that is not in the design
// is a fatal error.
void loadWindow(std::int32_t windowIdentifier);

// Delivers input until the last window has been destroyed; returns at once when none exists.
void runEventLoop();

// Stops event delivery, discards the design and the windows, and runs the exit routines in order.
void endPlatform();

// Runs the program's entry routine with the platform around it: after it returns, event delivery
// stops, the design is discarded, the exit routines run and the toolkit is released. The result is
// the process's exit code, 0 after the last window was closed.
int runProgram(int argc, char** argv, std::int32_t (*programMain)());

// The source of an event: a window, and one of its controls by name (empty for the window itself).
struct EventSource {
    std::int32_t window = 0;
    std::string_view control;
};

// Runs the handler that the design binds to this source and event with the given parameters (missing
// ones are 0); true when one ran. A source that is not in the design is a fatal error. Nothing runs
// while delivery is held back (while a window is built, while the error box is up, after the loop).
bool raiseEvent(const EventSource& source, std::int32_t identifier,
                std::initializer_list<std::int32_t> parameters = {});

// Shows the modal error box titled "错误" with the message, drops the exit routines and ends the
// process with exit code -1.
[[noreturn]] void fatalError(std::string_view message);

// The text of the error box for a message, with the platform's line breaks.
std::string fatalErrorText(std::string_view message);

struct WindowPosition {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// The outer rectangle's top-left corner that centres a window on a screen, each half truncated
// toward zero.
WindowPosition centredWindowPosition(std::int32_t screenWidth, std::int32_t screenHeight,
                                     std::int32_t outerWidth, std::int32_t outerHeight);

// Whole wheel notches of one input: the vertical delta, in 120ths of a notch, kept within a signed
// 16-bit value and divided by 120 with truncation toward zero. Nothing carries over between inputs.
std::int32_t wheelDistance(std::int32_t delta);

// Replaces the source of heap blocks (null restores the process heap); lets tests make an allocation
// fail.
void setBlockAllocator(void* (*allocator)(std::size_t));
