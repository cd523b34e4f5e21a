// The fatal paths: each shows the error box with its message, drops the exit routines and ends the
// process with -1 (255). Each runs in a child process whose box is read and dismissed as a person
// would.

#include "app/programMain.h"
#include "platform/platform.h"
#include "tests/platform/testWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

// Reports every error box on stderr in one line ("/n" for a line break) and clicks its OK button.
void dismissErrorBoxes()
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible()) {
                continue;
            }
            QString text = box->text();
            text.replace(QLatin1Char('\n'), QStringLiteral("/n"));
            const bool onlyOk = box->buttons().size() == 1 && box->button(QMessageBox::Ok) != nullptr;
            std::fprintf(stderr, "box title=%s icon=%s buttons=%s owner=%s text=%s\n",
                         box->windowTitle().toUtf8().constData(),
                         box->icon() == QMessageBox::Critical ? "stop" : "other", onlyOk ? "ok" : "other",
                         box->parentWidget() == nullptr ? "none" : "window", text.toUtf8().constData());
            box->button(QMessageBox::Ok)->click();
        }
    });
    timer->start(10);
}

std::string boxLine(const std::string& message)
{
    return "box title=错误 icon=stop buttons=ok owner=none text=运行时出错!/n/n错误信息：" + message + "/n";
}

std::string exitMarker()
{
    return ::testing::TempDir() + "vistrel-exit-routine-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

void markExitRoutine()
{
    std::ofstream(exitMarker()) << "ran\n";
}

// In the child: the toolkit up with the test design, the box watched, an exit routine registered.
void prepareChild()
{
    initTestPlatform();
    dismissErrorBoxes();
    registerExitRoutine(markExitRoutine);
}

class FatalError : public ::testing::Test {
  protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        std::filesystem::remove(exitMarker());
    }
    void TearDown() override
    {
        EXPECT_FALSE(std::filesystem::exists(exitMarker())) << "an exit routine ran after the fatal error";
    }
};

void* failingAllocator(std::size_t)
{
    return nullptr;
}

TEST_F(FatalError, FailedViewStateAllocationEndsTheProgramWithoutItsExitRoutines)
{
    EXPECT_EXIT(
        {
            prepareChild();
            setBlockAllocator(failingAllocator);
            programMain();
        },
        ::testing::ExitedWithCode(255), boxLine("分配 24 字节内存失败!"));
}

TEST_F(FatalError, FailedBlockNamesTheRequestedSize)
{
    EXPECT_EXIT(
        {
            prepareChild();
            setBlockAllocator(failingAllocator);
            allocateBlock(123456789);
        },
        ::testing::ExitedWithCode(255), boxLine("分配 123456789 字节内存失败!"));
}

void noHandler() {}

const std::array<ControlDesign, 2> someControls = {{
    {.name = "画板", .kind = ControlKind::canvas, .width = 10, .height = 10, .tabIndex = 0},
    {.name = "通用对话框", .kind = ControlKind::openFileDialog},
}};
const std::array<EventBinding, 1> unknownSource = {{{"按钮", eventClicked, PlainHandler{noHandler}}}};
const std::array<EventBinding, 1> dialogSource = {{{"通用对话框", eventClicked, PlainHandler{noHandler}}}};
const std::array<EventBinding, 1> noHandlerAtAll = {{{"画板", eventLeftPressed, EventHandler{}}}};
const std::array<ControlDesign, 2> sameNames = {{{.name = "画板"}, {.name = "画板"}}};
const std::array<ControlDesign, 1> tabGap = {{{.name = "画板", .tabIndex = 1}}};

struct BrokenDesign {
    const char* name;
    std::vector<WindowDesign> designs;
};

TEST_F(FatalError, DesignThatCannotBeReadStopsInitPlatform)
{
    const BrokenDesign cases[] = {
        {"no window", {}},
        {"binding to no control",
         {{.identifier = 1,
           .outerWidth = 9,
           .outerHeight = 9,
           .controls = someControls,
           .bindings = unknownSource}}},
        {"binding to a dialog",
         {{.identifier = 1,
           .outerWidth = 9,
           .outerHeight = 9,
           .controls = someControls,
           .bindings = dialogSource}}},
        {"binding without handler",
         {{.identifier = 1,
           .outerWidth = 9,
           .outerHeight = 9,
           .controls = someControls,
           .bindings = noHandlerAtAll}}},
        {"two controls of one name",
         {{.identifier = 1, .outerWidth = 9, .outerHeight = 9, .controls = sameNames}}},
        {"gap in the Tab order", {{.identifier = 1, .outerWidth = 9, .outerHeight = 9, .controls = tabGap}}},
        {"window without size", {{.identifier = 1, .controls = someControls}}},
        {"two windows of one identifier",
         {{.identifier = 1, .outerWidth = 9, .outerHeight = 9},
          {.identifier = 1, .outerWidth = 9, .outerHeight = 9}}},
    };
    for (const BrokenDesign& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(designIsSound(c.designs));
        EXPECT_EXIT(
            {
                prepareChild();
                initPlatform(c.designs);
            },
            ::testing::ExitedWithCode(255), boxLine("载入窗口模板数据段出错!"));
    }
    EXPECT_TRUE(designIsSound(testDesign()));
}

TEST_F(FatalError, WindowMissingFromTheDesignCannotBeLoaded)
{
    EXPECT_EXIT(
        {
            prepareChild();
            loadWindow(testWindowIdentifier + 1);
        },
        ::testing::ExitedWithCode(255), boxLine("载入启动窗口失败"));
}

TEST_F(FatalError, EventsFromSourcesOutsideTheDesign)
{
    struct Case {
        EventSource source;
        const char* message;
    };
    const Case cases[] = {
        {{testWindowIdentifier + 1, windowItself}, "未找到引发事件的窗口"},
        {{testWindowIdentifier, "按钮"}, "未找到引发事件的窗口组件"},
        {{testWindowIdentifier, "通用对话框"}, "引发事件的窗口组件无效"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EXIT(
            {
                prepareChild();
                raiseEvent(c.source, eventClicked);
            },
            ::testing::ExitedWithCode(255), boxLine(c.message));
    }
}

std::vector<int>& exitOrder()
{
    static std::vector<int> order;
    return order;
}

void firstRoutine()
{
    exitOrder().push_back(1);
}

void secondRoutine()
{
    exitOrder().push_back(2);
}

TEST(ExitRoutines, RunOnceEachInTheOrderOfRegistration)
{
    initTestPlatform();
    exitOrder().clear();
    registerExitRoutine(secondRoutine);
    registerExitRoutine(firstRoutine);
    registerExitRoutine(secondRoutine);
    endPlatform();
    EXPECT_EQ(exitOrder(), (std::vector<int>{2, 1}));
    endPlatform();
    EXPECT_EQ(exitOrder(), (std::vector<int>{2, 1}));
}

TEST(RaiseEvent, RunsTheBoundHandlerOnlyAndReportsWhetherOneRan)
{
    initTestPlatform();
    recordedEvents().clear();
    EXPECT_TRUE(raiseEvent({testWindowIdentifier, "画板"}, eventMouseMoved, {3, 4, 5}));
    EXPECT_TRUE(raiseEvent({testWindowIdentifier, "画板"}, eventWheelScrolled, {-2}));
    EXPECT_FALSE(raiseEvent({testWindowIdentifier, "画板"}, eventRightPressed, {1, 2, 0}));
    EXPECT_FALSE(raiseEvent({testWindowIdentifier, "标签2"}, eventFeedback, {1, 2}));
    const std::vector<RecordedEvent> expected = {{"mouseMoved", {3, 4, 5}}, {"wheel", {-2, 0}}};
    EXPECT_EQ(recordedEvents(), expected);
    endPlatform();
}

} // namespace
