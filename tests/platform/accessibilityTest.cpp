// What a screen reader learns about the program's window, and how the focused control shows that it
// has the focus, on the offscreen platform.
#define QTEST_QPA_MOUSE_HANDLING

#include "app/windowDesign.h"
#include "display/canvas.h"
#include "platform/platform.h"
#include "tests/platform/testWindow.h"
#include "viewer/viewState.h"

#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

namespace {

QString fromUtf8(const char* text)
{
    return QString::fromUtf8(text);
}

TEST(ProgramWindowAccessibility, EveryShownControlTellsAScreenReaderWhatItIsAndDoes)
{
    // Runs offscreen: the test programs of this folder set that up before Qt starts.
    initPlatform(programWindowDesign());
    ViewState state{};
    view = &state;
    loadWindow(mainWindowIdentifier);
    QPointer<QWidget> window = shownWindowTitled("Vistrel");
    ASSERT_NE(window, nullptr);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    struct Case {
        const char* control;
        const char* name;
        const char* description;
        QAccessible::Role role;
        bool focusable;
    };
    const Case cases[] = {
        {"画板", "图片视图", "显示导入的图片。滚轮向前滚动放大，向后滚动缩小；按住左键拖动平移图片。",
         QAccessible::Graphic, true},
        {"按钮导入", "导入图片", "打开一个图片文件，并在图片视图中按原大小显示它。", QAccessible::Button,
         true},
        {"按钮放大", "放大", "把图片放大到当前大小的 1.2 倍，图片的左上角不动。", QAccessible::Button, true},
        {"按钮缩小", "缩小", "把图片缩小到当前大小的 0.8 倍，图片的左上角不动。", QAccessible::Button, true},
        // Labels are named by the text they show.
        {"标签1", "滚轮放大和缩小，左键拖动平移。", "", QAccessible::StaticText, false},
        {"标签2", "Tolvane", "", QAccessible::StaticText, false},
    };
    QAccessibleInterface* windowInterface = QAccessible::queryAccessibleInterface(window.data());
    ASSERT_NE(windowInterface, nullptr);
    // What a screen reader walking the window's children finds: name -> role.
    std::map<QString, QAccessible::Role> children;
    for (int i = 0; i < windowInterface->childCount(); ++i) {
        QAccessibleInterface* child = windowInterface->child(i);
        if (child != nullptr && !child->state().invisible) {
            children[child->text(QAccessible::Name)] = child->role();
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        QWidget* control = window->findChild<QWidget*>(fromUtf8(c.control));
        ASSERT_NE(control, nullptr);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), fromUtf8(c.name));
        EXPECT_EQ(accessible->text(QAccessible::Description), fromUtf8(c.description));
        EXPECT_EQ(accessible->role(), c.role);
        EXPECT_EQ(bool(accessible->state().focusable), c.focusable);
        EXPECT_EQ(accessible->parent(), windowInterface);
        const auto found = children.find(fromUtf8(c.name));
        ASSERT_NE(found, children.end()) << "not among the window's shown children";
        EXPECT_EQ(found->second, c.role);
    }
    // The view has the focus when the window opens, and says so.
    QAccessibleInterface* canvas = QAccessible::queryAccessibleInterface(window->findChild<QWidget*>("画板"));
    EXPECT_TRUE(canvas->state().focused);
    endPlatform();
    EXPECT_EQ(window, nullptr);
}

class FocusIndication : public ShownTestWindow {
  protected:
    // What the display shows of a control once the pending repaints are done.
    static QImage shown(QWidget* widget)
    {
        QCoreApplication::processEvents();
        const QPoint topLeft = widget->mapTo(widget->window(), QPoint(0, 0));
        return QGuiApplication::primaryScreen()
            ->grabWindow(widget->window()->winId(), topLeft.x(), topLeft.y(), widget->width(),
                         widget->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    static void pressTab(bool forward = true)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                        forward ? Qt::NoModifier : Qt::ShiftModifier);
    }
};

// The view shows two face-coloured rectangles, touching the client area's top-left and bottom-right
// corners, so that a border drawn one pixel too far inside would show.
TEST_F(FocusIndication, TheViewsBorderTakesTheHighlightColourAndItsClientAreaStaysAsDrawn)
{
    Canvas& viewCanvas = *testCanvas("画板");
    Canvas& back = *testCanvas("画板后台");
    back.clear();
    back.copyRect(0, 0, 40, 30, viewCanvas, 0, 0);
    back.copyRect(0, 0, 40, 30, viewCanvas, 390, 304);
    QWidget* canvas = control("画板");
    const QRgb highlight = canvas->palette().color(QPalette::Highlight).rgb();
    const QRgb normal = canvas->palette().color(QPalette::Shadow).rgb();
    ASSERT_NE(highlight, normal);
    const QRgb face = systemFaceColour() | 0xFF000000u;

    struct Step {
        const char* what;
        bool forward; // the Tab key that leads to this step
        bool canvasFocused;
    };
    const Step steps[] = {
        {"the window opens", true, true},        {"Tab to 按钮导入", true, false},
        {"Shift+Tab back to 画板", false, true}, {"Shift+Tab to 按钮缩小", false, false},
        {"Tab around to 画板", true, true},
    };
    for (std::size_t step = 0; step < std::size(steps); ++step) {
        const Step& s = steps[step];
        SCOPED_TRACE(s.what);
        if (step > 0) {
            pressTab(s.forward);
        }
        ASSERT_EQ(canvas->hasFocus(), s.canvasFocused);
        const QImage image = shown(canvas);
        ASSERT_EQ(image.size(), QSize(432, 336));
        for (int y = 0; y < 336; ++y) {
            for (int x = 0; x < 432; ++x) {
                const bool border = x == 0 || y == 0 || x == 431 || y == 335;
                const int clientX = x - 1;
                const int clientY = y - 1;
                const bool drawn = (clientX < 40 && clientY < 30) || (clientX >= 390 && clientY >= 304);
                const QRgb expected = border  ? (s.canvasFocused ? highlight : normal)
                                      : drawn ? face
                                              : 0xFFFFFFFFu;
                ASSERT_EQ(image.pixel(x, y), expected) << x << "," << y;
            }
        }
    }
}

TEST_F(FocusIndication, AFocusedButtonShowsTheStylesFocusFrameHoweverItGotTheFocus)
{
    QWidget* canvas = control("画板");
    for (const char* name : {"按钮导入", "按钮放大", "按钮缩小"}) {
        SCOPED_TRACE(name);
        QWidget* button = control(name);
        ASSERT_TRUE(canvas->hasFocus());
        const QImage unfocused = shown(button);
        // By the mouse; for the first button, before the Tab key was ever pressed.
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(button->hasFocus());
        // The pointer leaves, so that only the focus is left to show.
        QTest::mouseMove(canvas, QPoint(200, 200));
        const QImage clicked = shown(button);
        EXPECT_NE(clicked, unfocused);
        // A press on the view takes the focus back, and the frame goes with it.
        QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
        ASSERT_TRUE(canvas->hasFocus());
        EXPECT_EQ(shown(button), unfocused);
        // By the keyboard: the same frame.
        for (int press = 0; press < 4 && !button->hasFocus(); ++press) {
            pressTab();
        }
        ASSERT_TRUE(button->hasFocus());
        EXPECT_EQ(shown(button), clicked);
        canvas->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(shown(button), unfocused);
    }
}

} // namespace
