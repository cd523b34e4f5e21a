// The window built from a design: placement, size, keyboard rules, focus, drawing, on the offscreen
// platform.
#define QTEST_QPA_MOUSE_HANDLING

#include "display/canvas.h"
#include "platform/platform.h"
#include "tests/platform/testWindow.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using Window = ShownTestWindow;

TEST(CentredWindowPosition, HalvesTheSpareRoomTruncatingTowardZero)
{
    struct Case {
        std::int32_t screenWidth, screenHeight;
        std::int32_t x, y;
    };
    const Case cases[] = {
        {1920, 1080, 651, 324}, {1366, 768, 374, 168}, {618, 432, 0, 0}, {600, 420, -8, -5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight));
        const WindowPosition position = centredWindowPosition(c.screenWidth, c.screenHeight, 617, 431);
        EXPECT_EQ(position.x, c.x);
        EXPECT_EQ(position.y, c.y);
    }
}

TEST_F(Window, OpensCentredWithItsOuterSizeAndFixedFrame)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const WindowPosition expected = centredWindowPosition(screen.width(), screen.height(), 617, 431);
    EXPECT_EQ(window->frameGeometry(), QRect(expected.x, expected.y, 617, 431));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vistrel"));
}

TEST_F(Window, ControlsSitWhereTheDesignPutsThem)
{
    EXPECT_EQ(control("画板")->geometry(), QRect(8, 8, 432, 336));
    EXPECT_EQ(control("按钮导入")->geometry(), QRect(480, 8, 88, 24));
    EXPECT_EQ(control("按钮缩小")->geometry(), QRect(480, 72, 88, 24));
    EXPECT_EQ(control("标签2")->geometry(), QRect(512, 136, 80, 40));
    EXPECT_TRUE(control("画板")->isVisible());
    EXPECT_FALSE(control("画板后台")->isVisible());
}

TEST_F(Window, TheViewHasTheFocusFirstAndTabWalksTheOrderBothWays)
{
    const char* order[] = {"画板", "按钮导入", "按钮放大", "按钮缩小"};
    EXPECT_EQ(QApplication::focusWidget(), control("画板"));
    for (int step = 1; step <= 8; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), control(order[step % 4])) << "Tab " << step;
    }
    for (int step = 1; step <= 8; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), control(order[(8 - step) % 4])) << "Shift+Tab " << step;
    }
    EXPECT_TRUE(recordedEvents().empty());
}

TEST_F(Window, EnterAndF1DoNothingWhileSpaceActivatesTheFocusedButton)
{
    QWidget* import = control("按钮导入");
    import->setFocus();
    QTest::keyClick(import, Qt::Key_Return);
    QTest::keyClick(import, Qt::Key_Enter);
    QTest::keyClick(import, Qt::Key_F1);
    EXPECT_TRUE(recordedEvents().empty());
    EXPECT_EQ(QApplication::focusWidget(), import);
    QTest::keyClick(import, Qt::Key_Space);
    const std::vector<RecordedEvent> expected = {{"import", {}}};
    EXPECT_EQ(recordedEvents(), expected);
}

TEST_F(Window, ClickingTheButtonsRaisesTheirClickedEvents)
{
    QTest::mouseClick(control("按钮放大"), Qt::LeftButton);
    QTest::mouseClick(control("按钮缩小"), Qt::LeftButton);
    QTest::mouseClick(control("按钮导入"), Qt::LeftButton);
    const std::vector<RecordedEvent> expected = {{"zoomIn", {}}, {"zoomOut", {}}, {"import", {}}};
    EXPECT_EQ(recordedEvents(), expected);
}

TEST(WindowClosing, EscapeClosesTheWindowFromEveryFocusableControl)
{
    for (const char* name : {"画板", "按钮导入", "按钮放大", "按钮缩小"}) {
        SCOPED_TRACE(name);
        QPointer<QWidget> window = showTestWindow();
        ASSERT_NE(window, nullptr);
        QWidget* focused = testControl(window, name);
        focused->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), focused);
        // The event loop ends once the window has been destroyed.
        bool loopEnded = false;
        QTimer::singleShot(0, [&] { QTest::keyClick(focused, Qt::Key_Escape); });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        guard.start(5000);
        loopEnded = QApplication::exec() == 0;
        EXPECT_TRUE(loopEnded);
        EXPECT_EQ(window, nullptr);
        endPlatform();
    }
}

TEST(WindowLoading, CreatedRunsWhileTheWindowIsHiddenThenMovedAndResizedOnce)
{
    initTestPlatform();
    recordedEvents().clear();
    loadWindow(testWindowIdentifier);
    const std::vector<RecordedEvent> expected = {{"created", {0}}, {"moved", {}}, {"resized", {}}};
    EXPECT_EQ(recordedEvents(), expected);
    endPlatform();
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST_F(Window, DrawingIsOnTheDisplayBeforeTheCallReturnsAndRepaintsShowTheArray)
{
    Canvas& view = *testCanvas("画板");
    Canvas& back = *testCanvas("画板后台");
    PaintCounter counter;
    control("画板")->installEventFilter(&counter);
    back.clear();
    EXPECT_EQ(counter.paints, 0) << "a hidden canvas paints nothing";
    back.copyRect(0, 0, 40, 30, view, 10, 20);
    EXPECT_EQ(counter.paints, 1);

    // The display asks for the whole canvas again: it shows what was drawn, not the background.
    const QImage shown = control("画板")->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const std::uint32_t face = systemFaceColour() | 0xFF000000u;
    for (int y = 0; y < 334; ++y) {
        for (int x = 0; x < 430; ++x) {
            const bool drawn = x >= 10 && x < 50 && y >= 20 && y < 50;
            ASSERT_EQ(shown.pixel(x + 1, y + 1), drawn ? face : 0xFFFFFFFFu) << x << "," << y;
        }
    }
}

TEST_F(Window, BackgroundsUseTheirColoursAndTheFaceColourOfThePalette)
{
    const std::uint32_t face = QApplication::palette().color(QPalette::Button).rgb();
    EXPECT_EQ(systemFaceColour() | 0xFF000000u, face);
    const QImage whole = window->grab().toImage();
    EXPECT_EQ(whole.pixel(460, 200), face);
    const QImage label = control("标签2")->grab().toImage();
    EXPECT_EQ(label.pixel(0, 0), qRgb(255, 255, 0));
    EXPECT_EQ(label.pixel(79, 39), qRgb(255, 255, 0));
    // The raised text: somewhere a dark pixel has a white one up and to the left of it.
    bool raised = false;
    for (int y = 1; y < 40 && !raised; ++y) {
        for (int x = 1; x < 80 && !raised; ++x) {
            raised = qGray(label.pixel(x, y)) < 64 && label.pixel(x - 1, y - 1) == qRgb(255, 255, 255);
        }
    }
    EXPECT_TRUE(raised);
}

} // namespace
