#include "viewer/viewState.h"

#include <cmath>

ViewState* view = nullptr;
std::int32_t pictureId = 0;
std::int32_t pictureWidth = 0;
std::int32_t pictureHeight = 0;
std::int32_t viewWidth = 0;
std::int32_t viewHeight = 0;
std::int32_t dragging = 0;
std::int32_t dragStartX = 0;
std::int32_t dragStartY = 0;

Canvas* 画板 = nullptr;
Canvas* 画板后台 = nullptr;
OpenFileDialog* 通用对话框 = nullptr;

std::int64_t truncToInt(double value)
{
    if (std::isnan(value)) {
        return 0;
    }
    // 2^63 is exactly representable; every double below it converts without overflow.
    if (value >= 9223372036854775808.0) {
        return INT64_MAX;
    }
    if (value <= -9223372036854775808.0) {
        return INT64_MIN;
    }
    return static_cast<std::int64_t>(value);
}
