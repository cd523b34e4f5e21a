#pragma once

// A small window design whose handlers record every event they get, built offscreen.

#include "platform/design.h"

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

struct RecordedEvent {
    std::string name;
    std::vector<std::int32_t> parameters;
    bool operator==(const RecordedEvent&) const = default;
};

void PrintTo(const RecordedEvent& event, std::ostream* out);

std::vector<RecordedEvent>& recordedEvents();

constexpr std::int32_t testWindowIdentifier = 7;

// The window: a 432 x 336 canvas "画板" with a single-line border at (8, 8) and the Tab order
// 画板, 按钮导入, 按钮放大, 按钮缩小; a hidden back canvas, a label and a dialog component. Every
// handler appends to recordedEvents().
std::span<const WindowDesign> testDesign();

// The toolkit runs offscreen; the platform is brought up with the test design, once per process.
void initTestPlatform();

// Builds and shows the test window, active, with its events recorded from now on.
QWidget* showTestWindow();

// The control of the test window's widget tree by its name in the design.
QWidget* testControl(QWidget* window, const char* name);

// The canvas "画板" or "画板后台" of the window last built.
Canvas* testCanvas(const char* name);

// Destroys the test window and waits until it is gone.
void closeTestWindow(QWidget* window);

// A visible top-level window with that caption, or null.
QWidget* shownWindowTitled(const char* caption);

// Each test starts with the test window shown and active, and ends with it closed.
class ShownTestWindow : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    QWidget* control(const char* name) const { return testControl(window, name); }

    QPointer<QWidget> window;
};
