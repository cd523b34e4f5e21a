#include "app/windowDesign.h"

#include "app/onWindowCreated.h"
#include "viewer/handlers.h"
#include "viewer/viewState.h"

#include <array>

namespace {

constexpr CanvasColour black = CanvasColour::fromRgb(0, 0, 0);
constexpr CanvasColour white = CanvasColour::fromRgb(255, 255, 255);
constexpr CanvasColour yellow = CanvasColour::fromRgb(255, 255, 0);
constexpr CanvasColour blue = CanvasColour::fromRgb(0, 0, 255);
constexpr CanvasColour face = CanvasColour::systemFace();

// In the design's order, which is the order of creation and of stacking, first on top. The Tab order
// runs 画板, 按钮导入, 按钮放大, 按钮缩小.
const std::array<ControlDesign, 8> mainControls = {{
    {.name = "标签2",
     .kind = ControlKind::label,
     .left = 512,
     .top = 136,
     .width = 80,
     .height = 40,
     .text = "Tolvane",
     .textColour = black,
     .backgroundColour = yellow,
     .raisedText = true},
    {.name = "标签1",
     .kind = ControlKind::label,
     .left = 248,
     .top = 352,
     .width = 192,
     .height = 16,
     .text = "滚轮放大和缩小，左键拖动平移。",
     .textColour = blue,
     .backgroundColour = face},
    {.name = "画板后台",
     .kind = ControlKind::canvas,
     .left = 504,
     .top = 312,
     .width = 88,
     .height = 72,
     .backgroundColour = face,
     .borderStyle = BorderStyle::none,
     .keepsStore = true,
     .visible = false,
     .canvasVariable = &画板后台},
    {.name = "通用对话框",
     .kind = ControlKind::openFileDialog,
     .left = 448,
     .top = 8,
     .width = 26,
     .height = 26,
     .visible = false,
     .dialogVariable = &通用对话框,
     .filter = "图片文件(*.bmp,*.jpg)|*.bmp;*.jpg\r\n",
     .firstFileType = 0},
    {.name = "按钮缩小",
     .kind = ControlKind::pushButton,
     .left = 480,
     .top = 72,
     .width = 88,
     .height = 24,
     .text = "缩小",
     .tabIndex = 3,
     .accessibleName = "缩小",
     .accessibleDescription = "把图片缩小到当前大小的 0.8 倍，图片的左上角不动。"},
    {.name = "按钮放大",
     .kind = ControlKind::pushButton,
     .left = 480,
     .top = 40,
     .width = 88,
     .height = 24,
     .text = "放大",
     .tabIndex = 2,
     .accessibleName = "放大",
     .accessibleDescription = "把图片放大到当前大小的 1.2 倍，图片的左上角不动。"},
    {.name = "按钮导入",
     .kind = ControlKind::pushButton,
     .left = 480,
     .top = 8,
     .width = 88,
     .height = 24,
     .text = "导入图片...",
     .tabIndex = 1,
     .accessibleName = "导入图片",
     .accessibleDescription = "打开一个图片文件，并在图片视图中按原大小显示它。"},
    {.name = "画板",
     .kind = ControlKind::canvas,
     .left = 8,
     .top = 8,
     .width = 432,
     .height = 336,
     .backgroundColour = white,
     .borderStyle = BorderStyle::singleLine,
     .keepsStore = false,
     .tabIndex = 0,
     .accessibleName = "图片视图",
     .accessibleDescription = "显示导入的图片。滚轮向前滚动放大，向后滚动缩小；按住左键拖动平移图片。",
     .canvasVariable = &画板},
}};

// Every event not listed runs nothing.
const std::array<EventBinding, 9> mainBindings = {{
    {windowItself, eventCreated, PlainHandler{onWindowCreated}},
    {"按钮导入", eventClicked, PlainHandler{onImportClicked}},
    {"按钮放大", eventClicked, PlainHandler{onZoomInClicked}},
    {"按钮缩小", eventClicked, PlainHandler{onZoomOutClicked}},
    {"画板", eventLeftPressed, TripleHandler{onViewLeftPressed}},
    {"画板", eventLeftReleased, TripleHandler{onViewLeftReleased}},
    {"画板", eventMouseMoved, TripleHandler{onViewMouseMoved}},
    {"画板", eventWheelScrolled, PairHandler{onViewWheel}},
    {"标签2", eventFeedback, PairHandler{onLabel2Feedback}},
}};

const std::array<WindowDesign, 1> designs = {{
    {.identifier = mainWindowIdentifier,
     .caption = "Vistrel",
     .outerWidth = 617,
     .outerHeight = 431,
     .backgroundColour = face,
     .iconResource = ":/vistrel/icon.png",
     .controls = mainControls,
     .bindings = mainBindings},
}};

} // namespace

std::span<const WindowDesign> programWindowDesign()
{
    return designs;
}

CanvasSettings designedCanvasSettings(std::string_view canvasName)
{
    CanvasSettings settings;
    for (const ControlDesign& control : mainControls) {
        if (control.kind == ControlKind::canvas && control.name == canvasName) {
            settings.width = control.width;
            settings.height = control.height;
            settings.borderStyle = control.borderStyle;
            settings.backgroundColor = control.backgroundColour;
            settings.keepsStore = control.keepsStore;
            settings.visible = control.visible;
        }
    }
    return settings;
}
