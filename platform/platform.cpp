#include "platform/platform.h"

#include "display/toolkitCanvas.h"
#include "platform/fileDialog.h"
#include "platform/widgets.h"

#include <QAccessible>
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

struct ControlRecord {
    const ControlDesign* design = nullptr;
    std::unique_ptr<ToolkitCanvas> canvas;
    std::unique_ptr<DesktopOpenFileDialog> dialog;
};

struct WindowRecord {
    const WindowDesign* design = nullptr;
    // Watched as a plain widget: while it is being destroyed it is no longer a WindowWidget.
    QPointer<QWidget> widget;
    WindowWidget* frame = nullptr; // the same widget, while it lives
    std::vector<ControlRecord> controls;
};

struct Platform {
    std::span<const WindowDesign> designs;
    std::vector<void (*)()> exitRoutines;
    std::vector<std::unique_ptr<WindowRecord>> windows;
    bool deliveryHeld = false;
    int loopExitCode = 0;
    void* (*allocator)(std::size_t) = nullptr;
    int argc = 1;
    char** argv = nullptr;
};

Platform platform;

char programName[] = "vistrel";
char* defaultArgv[] = {programName, nullptr};

QApplication* application()
{
    if (QApplication::instance() == nullptr) {
        if (platform.argv == nullptr) {
            platform.argc = 1;
            platform.argv = defaultArgv;
        }
        new QApplication(platform.argc, platform.argv);
        // Screen readers learn which controls are text and which is the picture.
        QAccessible::installFactory(accessibleControl);
        // The platform ends the loop itself once the last window has been destroyed, not merely closed.
        QApplication::setQuitOnLastWindowClosed(false);
    }
    return qApp;
}

std::uint32_t paletteFace()
{
    return QApplication::palette().color(QPalette::Button).rgb();
}

const WindowDesign* findWindow(std::int32_t identifier)
{
    const auto found =
        std::find_if(platform.designs.begin(), platform.designs.end(),
                     [&](const WindowDesign& window) { return window.identifier == identifier; });
    return found == platform.designs.end() ? nullptr : &*found;
}

// A window that is being destroyed no longer counts, although its pointer is cleared only later.
bool anyWindowAlive(const QObject* goingAway = nullptr)
{
    return std::any_of(platform.windows.begin(), platform.windows.end(), [&](const auto& window) {
        return window->widget != nullptr && window->widget != goingAway;
    });
}

// The widgets go with their windows; the canvases and dialogs the program may still point at go
// after them.
void destroyWindows()
{
    for (auto& window : platform.windows) {
        delete window->widget.data();
    }
    platform.windows.clear();
}

QString qtText(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

CanvasSettings canvasSettings(const ControlDesign& control)
{
    CanvasSettings settings;
    settings.width = control.width;
    settings.height = control.height;
    settings.borderStyle = control.borderStyle;
    settings.backgroundColor = control.backgroundColour;
    settings.keepsStore = control.keepsStore;
    settings.visible = control.visible;
    return settings;
}

void buildControl(WindowRecord& window, const ControlDesign& design, QWidget*& built)
{
    QWidget* parent = window.widget;
    const EventSource source{window.design->identifier, design.name};
    ControlRecord record;
    record.design = &design;
    built = nullptr;
    switch (design.kind) {
    case ControlKind::label:
        built = new LabelWidget(design, parent);
        built->setGeometry(design.left, design.top, design.width, design.height);
        break;
    case ControlKind::canvas: {
        record.canvas =
            std::make_unique<ToolkitCanvas>(canvasSettings(design), parent, design.left, design.top);
        built = record.canvas->widget();
        built->setFocusPolicy(design.tabIndex >= 0 ? Qt::StrongFocus : Qt::NoFocus);
        built->setMouseTracking(true);
        built->installEventFilter(new CanvasInput(source, *record.canvas));
        if (design.canvasVariable != nullptr) {
            *design.canvasVariable = record.canvas.get();
        }
        break;
    }
    case ControlKind::pushButton: {
        auto* button = new QPushButton(qtText(design.text), parent);
        button->setGeometry(design.left, design.top, design.width, design.height);
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(design.tabIndex >= 0 ? Qt::StrongFocus : Qt::NoFocus);
        QObject::connect(button, &QPushButton::clicked, button,
                         [source] { raiseEvent(source, eventClicked); });
        built = button;
        break;
    }
    case ControlKind::openFileDialog: {
        record.dialog = std::make_unique<DesktopOpenFileDialog>(parent);
        record.dialog->filter = std::string(design.filter);
        record.dialog->title = std::string(design.title);
        record.dialog->initialFolder = std::string(design.initialFolder);
        record.dialog->defaultExtension = std::string(design.defaultExtension);
        record.dialog->firstFileType = design.firstFileType;
        if (design.dialogVariable != nullptr) {
            *design.dialogVariable = record.dialog.get();
        }
        break;
    }
    }
    if (built != nullptr) {
        built->setObjectName(qtText(design.name));
        // A label is named by what it shows; a push button without a name of its own keeps the
        // toolkit's, its caption.
        const std::string_view name = design.accessibleName.empty() && design.kind == ControlKind::label
                                          ? design.text
                                          : design.accessibleName;
        if (!name.empty()) {
            built->setAccessibleName(qtText(name));
        }
        if (!design.accessibleDescription.empty()) {
            built->setAccessibleDescription(qtText(design.accessibleDescription));
        }
        built->setVisible(design.visible);
    }
    window.controls.push_back(std::move(record));
}

void buildWindow(WindowRecord& window)
{
    const WindowDesign& design = *window.design;
    window.frame = new WindowWidget(design);
    window.widget = window.frame;
    if (!design.iconResource.empty()) {
        window.widget->setWindowIcon(QIcon(qtText(design.iconResource)));
    }
    std::vector<QWidget*> stacking;
    std::vector<QPointer<QWidget>> tabOrder(design.controls.size());
    std::size_t focusable = 0;
    for (const ControlDesign& control : design.controls) {
        QWidget* built = nullptr;
        buildControl(window, control, built);
        if (built != nullptr) {
            stacking.push_back(built);
        }
        if (built != nullptr && control.tabIndex >= 0) {
            tabOrder[std::size_t(control.tabIndex)] = built;
            focusable = std::max(focusable, std::size_t(control.tabIndex) + 1);
        }
    }
    // The first control of the design lies on top.
    for (auto widget = stacking.rbegin(); widget != stacking.rend(); ++widget) {
        (*widget)->raise();
    }
    tabOrder.resize(focusable);
    auto* rules = new KeyboardRules(window.widget, tabOrder);
    window.widget->installEventFilter(rules);
    for (const QPointer<QWidget>& widget : tabOrder) {
        widget->installEventFilter(rules);
    }
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    // The window passes the focus on when it is activated: at first to the start of the Tab order.
    if (!tabOrder.empty()) {
        tabOrder.front()->setFocus();
    }
    QObject::connect(window.widget, &QObject::destroyed, qApp, [](QObject* goingAway) {
        if (!anyWindowAlive(goingAway)) {
            QCoreApplication::exit(0);
        }
    });
}

} // namespace

std::string fatalErrorText(std::string_view message)
{
    return "运行时出错!\n\n错误信息：" + std::string(message) + "\n";
}

void fatalError(std::string_view message)
{
    platform.deliveryHeld = true;
    application();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("错误"),
                    QString::fromStdString(fatalErrorText(message)), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    // The exit routines are dropped unrun; the platform's own resources go, then the process.
    platform.exitRoutines.clear();
    destroyWindows();
    delete qApp;
    std::_Exit(-1);
}

void initPlatform(std::span<const WindowDesign> designs)
{
    application();
    setSystemFaceLookup(paletteFace);
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        std::filesystem::current_path(program.parent_path(), error);
    }
    if (!designIsSound(designs)) {
        fatalError("载入窗口模板数据段出错!");
    }
    platform.designs = designs;
}

void setBlockAllocator(void* (*allocator)(std::size_t))
{
    platform.allocator = allocator;
}

void* allocateBlock(std::size_t size)
{
    void* block = platform.allocator != nullptr ? platform.allocator(size)
                                                : std::malloc(std::max<std::size_t>(size, 1));
    if (block == nullptr) {
        fatalError("分配 " + std::to_string(size) + " 字节内存失败!");
    }
    return block;
}

void freeBlock(void* block)
{
    std::free(block);
}

void registerExitRoutine(void (*routine)())
{
    if (routine != nullptr && std::find(platform.exitRoutines.begin(), platform.exitRoutines.end(),
                                        routine) == platform.exitRoutines.end()) {
        platform.exitRoutines.push_back(routine);
    }
}

WindowPosition centredWindowPosition(std::int32_t screenWidth, std::int32_t screenHeight,
                                     std::int32_t outerWidth, std::int32_t outerHeight)
{
    // Integer division truncates toward zero, also for a screen smaller than the window.
    return {(screenWidth - outerWidth) / 2, (screenHeight - outerHeight) / 2};
}

void loadWindow(std::int32_t windowIdentifier)
{
    const WindowDesign* design = findWindow(windowIdentifier);
    if (design == nullptr) {
        fatalError("载入启动窗口失败");
    }
    auto window = std::make_unique<WindowRecord>();
    window->design = design;
    platform.deliveryHeld = true;
    buildWindow(*window);
    platform.deliveryHeld = false;
    const QPointer<QWidget> widget = window->widget;
    WindowWidget* frame = window->frame;
    platform.windows.push_back(std::move(window));

    raiseEvent({windowIdentifier, windowItself}, eventCreated);
    if (widget != nullptr) {
        raiseEvent({windowIdentifier, windowItself}, eventWindowMoved);
        raiseEvent({windowIdentifier, windowItself}, eventWindowResized);
    }
    if (widget != nullptr) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen != nullptr ? screen->geometry() : QRect();
        const WindowPosition position =
            centredWindowPosition(area.width(), area.height(), design->outerWidth, design->outerHeight);
        frame->placeFrame(QPoint(area.x() + position.x, area.y() + position.y));
        frame->show();
    }
}

void runEventLoop()
{
    if (!anyWindowAlive()) {
        return;
    }
    platform.loopExitCode = QApplication::exec();
}

bool raiseEvent(const EventSource& source, std::int32_t identifier,
                std::initializer_list<std::int32_t> parameters)
{
    const WindowDesign* window = findWindow(source.window);
    if (window == nullptr) {
        fatalError("未找到引发事件的窗口");
    }
    if (source.control != windowItself) {
        const auto control = std::find_if(window->controls.begin(), window->controls.end(),
                                          [&](const ControlDesign& c) { return c.name == source.control; });
        if (control == window->controls.end()) {
            fatalError("未找到引发事件的窗口组件");
        }
        if (control->kind == ControlKind::openFileDialog) {
            fatalError("引发事件的窗口组件无效");
        }
    }
    if (platform.deliveryHeld) {
        return false;
    }
    const auto binding =
        std::find_if(window->bindings.begin(), window->bindings.end(), [&](const EventBinding& b) {
            return b.source == source.control && b.identifier == identifier;
        });
    if (binding == window->bindings.end()) {
        return false;
    }
    std::array<std::int32_t, 3> values{};
    std::copy_n(parameters.begin(), std::min(parameters.size(), values.size()), values.begin());
    struct Call {
        const std::array<std::int32_t, 3>& values;
        bool operator()(std::monostate) const { return false; }
        bool operator()(PlainHandler handler) const
        {
            handler();
            return true;
        }
        bool operator()(PairHandler handler) const
        {
            handler(values[0], values[1]);
            return true;
        }
        bool operator()(TripleHandler handler) const
        {
            handler(values[0], values[1], values[2]);
            return true;
        }
    };
    return std::visit(Call{values}, binding->handler);
}

std::int32_t wheelDistance(std::int32_t delta)
{
    // The delta is a signed 16-bit quantity; C++ division truncates toward zero.
    return std::clamp<std::int32_t>(delta, -32768, 32767) / 120;
}

void endPlatform()
{
    platform.deliveryHeld = true;
    destroyWindows();
    platform.designs = {};
    std::vector<void (*)()> routines;
    routines.swap(platform.exitRoutines);
    for (void (*routine)() : routines) {
        routine();
    }
    platform.deliveryHeld = false;
}

int runProgram(int argc, char** argv, std::int32_t (*programMain)())
{
    platform.argc = argc;
    platform.argv = argv;
    programMain();
    endPlatform();
    delete qApp;
    return platform.loopExitCode;
}
