#include "tests/platform/testWindow.h"

#include "platform/platform.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <array>
#include <cstdlib>

namespace {

// Before any Qt object exists: never open a window on a real display.
const bool offscreen = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
}();

Canvas* viewCanvas = nullptr;
Canvas* backCanvas = nullptr;
OpenFileDialog* dialog = nullptr;

void record(std::string name, std::vector<std::int32_t> parameters)
{
    recordedEvents().push_back({std::move(name), std::move(parameters)});
}

void onCreated()
{
    record("created", {viewCanvas->visible() ? 1 : 0});
}
void onMoved()
{
    record("moved", {});
}
void onResized()
{
    record("resized", {});
}
void onImport()
{
    record("import", {});
}
void onZoomIn()
{
    record("zoomIn", {});
}
void onZoomOut()
{
    record("zoomOut", {});
}
void onPressed(std::int32_t x, std::int32_t y, std::int32_t keys)
{
    record("pressed", {x, y, keys});
}
void onReleased(std::int32_t x, std::int32_t y, std::int32_t keys)
{
    record("released", {x, y, keys});
}
void onDoubleClicked(std::int32_t x, std::int32_t y, std::int32_t keys)
{
    record("doubleClicked", {x, y, keys});
}
void onMoved(std::int32_t x, std::int32_t y, std::int32_t keys)
{
    record("mouseMoved", {x, y, keys});
}
void onWheel(std::int32_t distance, std::int32_t keys)
{
    record("wheel", {distance, keys});
}

const std::array<ControlDesign, 7> controls = {{
    {.name = "标签2",
     .kind = ControlKind::label,
     .left = 512,
     .top = 136,
     .width = 80,
     .height = 40,
     .text = "Tolvane",
     .backgroundColour = CanvasColour::fromRgb(255, 255, 0),
     .raisedText = true},
    {.name = "画板后台",
     .kind = ControlKind::canvas,
     .left = 504,
     .top = 312,
     .width = 88,
     .height = 72,
     .keepsStore = true,
     .visible = false,
     .canvasVariable = &backCanvas},
    {.name = "通用对话框",
     .kind = ControlKind::openFileDialog,
     .visible = false,
     .dialogVariable = &dialog,
     .filter = "图片文件(*.bmp,*.jpg)|*.bmp;*.jpg\r\n"},
    {.name = "按钮缩小",
     .kind = ControlKind::pushButton,
     .left = 480,
     .top = 72,
     .width = 88,
     .height = 24,
     .text = "缩小",
     .tabIndex = 3},
    {.name = "按钮放大",
     .kind = ControlKind::pushButton,
     .left = 480,
     .top = 40,
     .width = 88,
     .height = 24,
     .text = "放大",
     .tabIndex = 2},
    {.name = "按钮导入",
     .kind = ControlKind::pushButton,
     .left = 480,
     .top = 8,
     .width = 88,
     .height = 24,
     .text = "导入图片...",
     .tabIndex = 1},
    {.name = "画板",
     .kind = ControlKind::canvas,
     .left = 8,
     .top = 8,
     .width = 432,
     .height = 336,
     .backgroundColour = CanvasColour::fromRgb(255, 255, 255),
     .borderStyle = BorderStyle::singleLine,
     .tabIndex = 0,
     .canvasVariable = &viewCanvas},
}};

const std::array<EventBinding, 11> bindings = {{
    {windowItself, eventCreated, PlainHandler{onCreated}},
    {windowItself, eventWindowMoved, PlainHandler{onMoved}},
    {windowItself, eventWindowResized, PlainHandler{onResized}},
    {"按钮导入", eventClicked, PlainHandler{onImport}},
    {"按钮放大", eventClicked, PlainHandler{onZoomIn}},
    {"按钮缩小", eventClicked, PlainHandler{onZoomOut}},
    {"画板", eventLeftPressed, TripleHandler{onPressed}},
    {"画板", eventLeftReleased, TripleHandler{onReleased}},
    {"画板", eventLeftDoubleClicked, TripleHandler{onDoubleClicked}},
    {"画板", eventMouseMoved, TripleHandler{onMoved}},
    {"画板", eventWheelScrolled, PairHandler{onWheel}},
}};

const std::array<WindowDesign, 1> designs = {{
    {.identifier = testWindowIdentifier,
     .caption = "Vistrel",
     .outerWidth = 617,
     .outerHeight = 431,
     .controls = controls,
     .bindings = bindings},
}};

} // namespace

void PrintTo(const RecordedEvent& event, std::ostream* out)
{
    *out << event.name << "(";
    for (std::size_t i = 0; i < event.parameters.size(); ++i) {
        *out << (i == 0 ? "" : ", ") << event.parameters[i];
    }
    *out << ")";
}

std::vector<RecordedEvent>& recordedEvents()
{
    static std::vector<RecordedEvent> events;
    return events;
}

std::span<const WindowDesign> testDesign()
{
    return designs;
}

void initTestPlatform()
{
    (void)offscreen;
    initPlatform(testDesign());
}

QWidget* showTestWindow()
{
    initTestPlatform();
    const auto before = QApplication::topLevelWidgets();
    loadWindow(testWindowIdentifier);
    QWidget* window = nullptr;
    for (QWidget* candidate : QApplication::topLevelWidgets()) {
        if (!before.contains(candidate) && candidate->isWindow() && candidate->isVisible()) {
            window = candidate;
        }
    }
    if (window != nullptr) {
        window->activateWindow();
        (void)QTest::qWaitForWindowActive(window);
    }
    recordedEvents().clear();
    return window;
}

QWidget* testControl(QWidget* window, const char* name)
{
    return window->findChild<QWidget*>(QString::fromUtf8(name));
}

Canvas* testCanvas(const char* name)
{
    return std::string_view(name) == "画板" ? viewCanvas : backCanvas;
}

void closeTestWindow(QWidget* window)
{
    QPointer<QWidget> alive = window;
    delete window;
    (void)QTest::qWaitFor([&] { return alive == nullptr; });
    endPlatform();
}

// Fontconfig keeps its caches for the life of the process; they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

QWidget* shownWindowTitled(const char* caption)
{
    QWidget* found = nullptr;
    for (QWidget* candidate : QApplication::topLevelWidgets()) {
        if (candidate->isVisible() && candidate->windowTitle() == QString::fromUtf8(caption)) {
            found = candidate;
        }
    }
    return found;
}

void ShownTestWindow::SetUp()
{
    window = showTestWindow();
    ASSERT_NE(window, nullptr);
}

void ShownTestWindow::TearDown()
{
    if (window != nullptr) {
        closeTestWindow(window);
    } else {
        endPlatform();
    }
}
