#pragma once

// The window design: what the platform layer builds a window from, as plain data. A program describes
// its windows, their controls with their settings, and which handler each event of a control runs;
// the platform layer reads these tables and nothing else. Toolkit-free, so the program's own tables
// build and are tested without a display.

#include "display/canvas.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

class OpenFileDialog;

enum class ControlKind {
    label,
    canvas,
    pushButton,
    openFileDialog, // a component without appearance; it raises no events
};

// Handlers take the event's parameters, all signed 32-bit, and return nothing.
using PlainHandler = void (*)();
using PairHandler = void (*)(std::int32_t, std::int32_t);
using TripleHandler = void (*)(std::int32_t, std::int32_t, std::int32_t);
using EventHandler = std::variant<std::monostate, PlainHandler, PairHandler, TripleHandler>;

// Event identifiers. Non-negative ones belong to the kind of source, negative ones are the pointer,
// keyboard and focus events that every control shares.
constexpr std::int32_t eventCreated = 0;  // the window
constexpr std::int32_t eventClicked = 0;  // a push button
constexpr std::int32_t eventFeedback = 0; // a label
constexpr std::int32_t eventWindowMoved = 3;
constexpr std::int32_t eventWindowResized = 4;
constexpr std::int32_t eventLeftPressed = -1;       // x, y, keys
constexpr std::int32_t eventLeftReleased = -2;      // x, y, keys
constexpr std::int32_t eventLeftDoubleClicked = -3; // x, y, keys: the press that completes a double-click
constexpr std::int32_t eventRightPressed = -4;      // x, y, keys
constexpr std::int32_t eventRightReleased = -5;     // x, y, keys
constexpr std::int32_t eventMouseMoved = -6;        // x, y, keys
constexpr std::int32_t eventWheelScrolled = -12;    // distance, keys

// Modifier bits of the keys parameter.
constexpr std::int32_t keyCtrl = 1;
constexpr std::int32_t keyShift = 2;
constexpr std::int32_t keyAlt = 4;

struct ControlDesign {
    std::string_view name{};
    ControlKind kind = ControlKind::label;
    // In pixels of the window's client area; width and height are outer sizes, borders included.
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::string_view text{};
    CanvasColour textColour = CanvasColour::fromRgb(0, 0, 0);
    CanvasColour backgroundColour = CanvasColour::systemFace();
    // A label's text drawn first in white, then in the text colour one pixel right and down.
    bool raisedText = false;
    BorderStyle borderStyle = BorderStyle::none;
    bool keepsStore = false;
    bool visible = true;
    // The place in the window's Tab order, from 0; -1 for a control that never takes the focus.
    std::int32_t tabIndex = -1;
    // What a screen reader says for the control: its name and what it does. A label with no name of
    // its own is named by its text.
    std::string_view accessibleName{};
    std::string_view accessibleDescription{};
    // Where the program finds the built canvas or dialog; may be null.
    Canvas** canvasVariable = nullptr;
    OpenFileDialog** dialogVariable = nullptr;
    // Settings of an open-file dialog.
    std::string_view filter{};
    std::string_view title{};
    std::string_view initialFolder{};
    std::string_view defaultExtension{};
    std::int32_t firstFileType = 0;
};

// Binds a handler to one event of the window (an empty source) or of one of its controls.
struct EventBinding {
    std::string_view source{};
    std::int32_t identifier = 0;
    EventHandler handler{};
};

constexpr std::string_view windowItself{};

struct WindowDesign {
    std::int32_t identifier = 0;
    std::string_view caption{};
    // Frame and caption included.
    std::int32_t outerWidth = 0;
    std::int32_t outerHeight = 0;
    CanvasColour backgroundColour = CanvasColour::systemFace();
    // A Qt resource path of the window's icon; empty for none.
    std::string_view iconResource{};
    // In the design's order: the order of creation, first on top.
    std::span<const ControlDesign> controls{};
    std::span<const EventBinding> bindings{};
};

// Whether the design can be built: every window has a size, its control names are present and
// unique, every binding names the window or one of its controls with an event that kind raises and
// a handler, and the Tab order has no gaps or repeats.
bool designIsSound(std::span<const WindowDesign> designs);
