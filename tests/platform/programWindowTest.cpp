// The program's own window design, built offscreen: every control where it belongs, and the state
// that the created handler leaves behind.

#include "app/windowDesign.h"
#include "display/openFileDialog.h"
#include "platform/platform.h"
#include "tests/platform/testWindow.h"
#include "viewer/viewState.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

TEST(ProgramWindow, DesignIsSoundAndBuildsEveryControlInPlace)
{
    ASSERT_TRUE(designIsSound(programWindowDesign()));
    // Runs offscreen: the test programs of this folder set that up before Qt starts.
    initPlatform(programWindowDesign());
    ViewState state{};
    view = &state;
    loadWindow(mainWindowIdentifier);

    QPointer<QWidget> window = shownWindowTitled("Vistrel");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->frameGeometry().size(), QSize(617, 431));

    struct Case {
        const char* name;
        QRect geometry;
        const char* text;
        bool visible;
    };
    const Case cases[] = {
        {"标签2", {512, 136, 80, 40}, nullptr, true},
        {"标签1", {248, 352, 192, 16}, nullptr, true},
        {"按钮缩小", {480, 72, 88, 24}, "缩小", true},
        {"按钮放大", {480, 40, 88, 24}, "放大", true},
        {"按钮导入", {480, 8, 88, 24}, "导入图片...", true},
        {"画板", {8, 8, 432, 336}, nullptr, true},
        // Made three times the view's outer size by the created handler.
        {"画板后台", {504, 312, 1296, 1008}, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* control = window->findChild<QWidget*>(QString::fromUtf8(c.name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), c.geometry);
        EXPECT_EQ(control->isVisible(), c.visible);
        if (c.text != nullptr) {
            EXPECT_EQ(static_cast<QPushButton*>(control)->text(), QString::fromUtf8(c.text));
        }
    }
    // The control that gets the focus when the window is activated.
    EXPECT_EQ(window->focusWidget(), window->findChild<QWidget*>(QStringLiteral("画板")));

    EXPECT_EQ(viewWidth, 432);
    EXPECT_EQ(viewHeight, 336);
    EXPECT_EQ(画板后台->width(), 1296);
    EXPECT_EQ(画板后台->height(), 1008);
    EXPECT_FALSE(画板后台->visible());
    EXPECT_EQ(view->offsetX, 432);
    EXPECT_EQ(view->offsetY, 336);
    EXPECT_EQ(view->scale, 1.0);
    ASSERT_NE(通用对话框, nullptr);
    EXPECT_EQ(通用对话框->filter, "图片文件(*.bmp,*.jpg)|*.bmp;*.jpg\r\n");
    EXPECT_EQ(通用对话框->fileName(), std::nullopt);
    endPlatform();
    EXPECT_EQ(window, nullptr);
}

} // namespace
