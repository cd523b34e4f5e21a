// Pointer and wheel input on the view canvas turned into its events, through Qt's own input
// processing (implicit grab, double-click detection), on the offscreen platform.
#define QTEST_QPA_MOUSE_HANDLING

#include "platform/platform.h"
#include "tests/platform/testWindow.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

class InputEvents : public ::testing::Test {
  protected:
    void SetUp() override
    {
        window = showTestWindow();
        ASSERT_NE(window, nullptr);
        view = testControl(window, "画板");
        ASSERT_NE(view, nullptr);
    }
    void TearDown() override { closeTestWindow(window); }

    // A client pixel of the view canvas in widget coordinates: its border is one pixel wide.
    static QPoint client(int x, int y) { return {x + 1, y + 1}; }

    // The pointer rests over a client pixel, with nothing recorded yet.
    void hover(int x, int y)
    {
        QTest::mouseMove(view, client(x, y));
        recordedEvents().clear();
    }

    void wheel(int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPointF position = client(100, 100);
        QWheelEvent event(position, view->mapToGlobal(position), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &event);
    }

    QWidget* window = nullptr;
    QWidget* view = nullptr;
};

TEST(WheelDistance, WholeNotchesTruncatedTowardZeroWithinSixteenBits)
{
    struct Case {
        std::int32_t delta;
        std::int32_t distance;
    };
    const Case cases[] = {{120, 1},       {240, 2},         {-120, -1},       {119, 0}, {-119, 0},
                          {-121, -1},     {32767, 273},     {-32768, -273},   {0, 0},   {40000, 273},
                          {-40000, -273}, {INT32_MAX, 273}, {INT32_MIN, -273}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.delta);
        EXPECT_EQ(wheelDistance(c.delta), c.distance);
    }
}

TEST_F(InputEvents, WheelOverTheCanvasRaisesEveryInputWithItsOwnDistance)
{
    const int deltas[] = {120, 240, -120, 119, -119, -121, 32767, -32768};
    for (const int delta : deltas) {
        wheel(delta);
    }
    const std::vector<RecordedEvent> expected = {
        {"wheel", {1, 0}}, {"wheel", {2, 0}},  {"wheel", {-1, 0}},  {"wheel", {0, 0}},
        {"wheel", {0, 0}}, {"wheel", {-1, 0}}, {"wheel", {273, 0}}, {"wheel", {-273, 0}},
    };
    EXPECT_EQ(recordedEvents(), expected);
}

TEST_F(InputEvents, WheelRemaindersAreNotCarriedOver)
{
    wheel(40);
    wheel(40);
    wheel(40, Qt::ControlModifier);
    const std::vector<RecordedEvent> expected = {{"wheel", {0, 0}}, {"wheel", {0, 0}}, {"wheel", {0, 1}}};
    EXPECT_EQ(recordedEvents(), expected);
}

TEST_F(InputEvents, DoubleClickReportsItsSecondPressOnlyAsDoubleClicked)
{
    hover(10, 20);
    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, client(10, 20));
    const std::vector<RecordedEvent> expected = {
        {"pressed", {10, 20, 0}},
        {"released", {10, 20, 0}},
        {"doubleClicked", {10, 20, 0}},
        {"released", {10, 20, 0}},
    };
    EXPECT_EQ(recordedEvents(), expected);
}

TEST_F(InputEvents, KeysCarryCtrlShiftAndAltBits)
{
    struct Case {
        Qt::KeyboardModifiers modifiers;
        std::int32_t keys;
    };
    const Case cases[] = {{Qt::NoModifier, 0},
                          {Qt::ControlModifier, 1},
                          {Qt::ShiftModifier, 2},
                          {Qt::ControlModifier | Qt::ShiftModifier, 3},
                          {Qt::AltModifier, 4},
                          {Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, 7},
                          {Qt::MetaModifier | Qt::KeypadModifier, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        hover(5, 6);
        QTest::mouseClick(view, Qt::LeftButton, c.modifiers, client(5, 6));
        const std::vector<RecordedEvent> expected = {{"pressed", {5, 6, c.keys}},
                                                     {"released", {5, 6, c.keys}}};
        EXPECT_EQ(recordedEvents(), expected);
    }
}

TEST_F(InputEvents, DragLeavingTheCanvasKeepsItsEventsClampedUntilTheButtonGoesUp)
{
    hover(100, 100);
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, client(100, 100));
    QTest::mouseMove(view, client(200, 150));
    QTest::mouseMove(view, client(-60, 500)); // beyond the left and bottom edges, outside the window
    QTest::mouseMove(view, client(700, -40)); // beyond the right and top edges
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, client(700, -40));
    // Afterwards only moves over the client area count again.
    QTest::mouseMove(view, client(-60, 500));
    QTest::mouseMove(view, client(12, 13));
    const std::vector<RecordedEvent> expected = {
        {"pressed", {100, 100, 0}},  {"mouseMoved", {200, 150, 0}}, {"mouseMoved", {0, 333, 0}},
        {"mouseMoved", {429, 0, 0}}, {"released", {429, 0, 0}},     {"mouseMoved", {12, 13, 0}},
    };
    EXPECT_EQ(recordedEvents(), expected);
}

TEST_F(InputEvents, DragComingBackOverTheCanvasIsReleasedWhereThePointerIs)
{
    hover(429, 333);
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, client(429, 333));
    QTest::mouseMove(view, client(450, 340));
    QTest::mouseMove(view, client(300, 200));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::ShiftModifier, client(300, 200));
    const std::vector<RecordedEvent> expected = {
        {"pressed", {429, 333, 0}},
        {"mouseMoved", {429, 333, 0}},
        {"mouseMoved", {300, 200, 0}},
        {"released", {300, 200, 2}},
    };
    EXPECT_EQ(recordedEvents(), expected);
}

TEST_F(InputEvents, PressOnTheBorderStartsNoDrag)
{
    // The bottom-right pixel of the border.
    QTest::mouseMove(view, QPoint(431, 335));
    recordedEvents().clear();
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(431, 335));
    QTest::mouseMove(view, QPoint(-20, -20));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(-20, -20));
    EXPECT_TRUE(recordedEvents().empty());
}

TEST_F(InputEvents, PressOnTheViewGivesItTheFocus)
{
    QWidget* zoomIn = testControl(window, "按钮放大");
    zoomIn->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), zoomIn);
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, client(50, 50));
    EXPECT_EQ(QApplication::focusWidget(), view);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, client(50, 50));

    zoomIn->setFocus();
    QTest::mouseClick(view, Qt::RightButton, Qt::NoModifier, client(60, 60));
    EXPECT_EQ(QApplication::focusWidget(), view);
}

} // namespace
