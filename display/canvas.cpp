#include "display/canvas.h"

#include "display/pictureStore.h"
#include "display/scaler.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::int32_t maxCanvasSize = 32627;

std::uint32_t storedSystemFace = 0xFFF0F0F0u;
std::uint32_t (*systemFaceLookup)() = nullptr;

} // namespace

std::uint32_t systemFaceColour()
{
    return systemFaceLookup != nullptr ? systemFaceLookup() : storedSystemFace;
}

void setSystemFaceColour(std::uint32_t colour)
{
    storedSystemFace = colour | 0xFF000000u;
    systemFaceLookup = nullptr;
}

void setSystemFaceLookup(std::uint32_t (*lookup)())
{
    systemFaceLookup = lookup;
}

std::uint32_t CanvasColour::resolve() const
{
    return isSystemFace ? (systemFaceColour() | 0xFF000000u) : rgb;
}

Canvas::Canvas(const CanvasSettings& settings)
    : width_(std::clamp(settings.width, 0, maxCanvasSize)),
      height_(std::clamp(settings.height, 0, maxCanvasSize)), borderStyle_(settings.borderStyle),
      backgroundColor_(settings.backgroundColor), keepsStore_(settings.keepsStore), visible_(settings.visible)
{
    resizeArray();
}

std::int32_t Canvas::clientWidth() const
{
    return borderStyle_ == BorderStyle::singleLine ? std::max(width_ - 2, 0) : width_;
}

std::int32_t Canvas::clientHeight() const
{
    return borderStyle_ == BorderStyle::singleLine ? std::max(height_ - 2, 0) : height_;
}

void Canvas::setWidth(std::int32_t width)
{
    width_ = std::clamp(width, 0, maxCanvasSize);
    resizeArray();
    sizeChanged();
}

void Canvas::setHeight(std::int32_t height)
{
    height_ = std::clamp(height, 0, maxCanvasSize);
    resizeArray();
    sizeChanged();
}

void Canvas::setVisible(bool visible)
{
    visible_ = visible;
}

// A new array of the client size filled with the background colour, the old one's top-left part
// copied to the same place. A store is never smaller than 1 x 1.
void Canvas::resizeArray()
{
    std::int32_t newWidth = clientWidth();
    std::int32_t newHeight = clientHeight();
    if (keepsStore_) {
        newWidth = std::max(newWidth, 1);
        newHeight = std::max(newHeight, 1);
    }
    if (newWidth == arrayWidth_ && newHeight == arrayHeight_ && !pixels_.empty()) {
        return;
    }
    std::vector<std::uint32_t> fresh(std::size_t(newWidth) * std::size_t(newHeight),
                                     backgroundColor_.resolve());
    const std::int32_t keepWidth = std::min(newWidth, arrayWidth_);
    const std::int32_t keepHeight = std::min(newHeight, arrayHeight_);
    for (std::int32_t y = 0; keepWidth > 0 && y < keepHeight; ++y) {
        std::memcpy(fresh.data() + std::size_t(y) * std::size_t(newWidth),
                    pixels_.data() + std::size_t(y) * std::size_t(arrayWidth_), std::size_t(keepWidth) * 4);
    }
    pixels_ = std::move(fresh);
    arrayWidth_ = newWidth;
    arrayHeight_ = newHeight;
}

PixelRect Canvas::clipToClient(std::int64_t left, std::int64_t top, std::int64_t width,
                               std::int64_t height) const
{
    // In 128 bits: a wide drawing's left + width may leave 64 bits.
    const auto right = std::int64_t(std::min<__int128>(__int128(left) + width, clientWidth()));
    const auto bottom = std::int64_t(std::min<__int128>(__int128(top) + height, clientHeight()));
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    if (right <= left || bottom <= top) {
        return {};
    }
    return {left, top, right - left, bottom - top};
}

void Canvas::clear()
{
    clear(std::nullopt, std::nullopt, std::nullopt, std::nullopt);
}

void Canvas::clear(std::optional<std::int32_t> left, std::optional<std::int32_t> top,
                   std::optional<std::int32_t> width, std::optional<std::int32_t> height)
{
    const std::int64_t x = left.value_or(0);
    const std::int64_t y = top.value_or(0);
    const std::int64_t w = width ? std::int64_t(*width) : clientWidth() - x;
    const std::int64_t h = height ? std::int64_t(*height) : clientHeight() - y;
    const PixelRect area = clipToClient(x, y, w, h);
    if (area.width == 0) {
        return;
    }
    const std::uint32_t colour = backgroundColor_.resolve();
    for (std::int64_t row = area.top; row < area.top + area.height; ++row) {
        std::uint32_t* line = pixels_.data() + row * arrayWidth_;
        std::fill(line + area.left, line + area.left + area.width, colour);
    }
    pixelsChanged(area);
}

void Canvas::drawPicture(std::int32_t id, std::int32_t left, std::int32_t top, std::int32_t width,
                         std::int32_t height)
{
    drawPictureWide(id, left, top, width, height);
}

void Canvas::clearAndDrawPicture(std::int32_t id, std::int32_t left, std::int32_t top, std::int32_t width,
                                 std::int32_t height)
{
    const auto source = renderPicture(id);
    const std::int64_t drawWidth = (source && width == -1) ? std::int64_t(source->width) : width;
    const std::int64_t drawHeight = (source && height == -1) ? std::int64_t(source->height) : height;
    const PixelRect covered = (source && source->mode != DrawMode::Masked && drawWidth > 0 && drawHeight > 0)
                                  ? clipToClient(left, top, drawWidth, drawHeight)
                                  : PixelRect{};
    if (covered.width == 0) {
        clear();
    } else {
        // The bands above and below the picture, then the parts left and right of it.
        const auto coveredLeft = std::int32_t(covered.left);
        const auto coveredTop = std::int32_t(covered.top);
        const auto coveredRight = std::int32_t(covered.left + covered.width);
        const auto coveredBottom = std::int32_t(covered.top + covered.height);
        if (coveredTop > 0) {
            clear(0, 0, std::nullopt, coveredTop);
        }
        if (coveredBottom < clientHeight()) {
            clear(0, coveredBottom, std::nullopt, std::nullopt);
        }
        if (coveredLeft > 0) {
            clear(0, coveredTop, coveredLeft, coveredBottom - coveredTop);
        }
        if (coveredRight < clientWidth()) {
            clear(coveredRight, coveredTop, std::nullopt, coveredBottom - coveredTop);
        }
    }
    drawPicture(id, left, top, width, height);
}

void Canvas::drawPictureWide(std::int32_t id, std::int64_t left, std::int64_t top, std::int64_t width,
                             std::int64_t height)
{
    const auto source = renderPicture(id);
    if (!source) {
        return;
    }
    const std::int64_t drawWidth = width == -1 ? std::int64_t(source->width) : width;
    const std::int64_t drawHeight = height == -1 ? std::int64_t(source->height) : height;
    if (drawWidth <= 0 || drawHeight <= 0) {
        return;
    }
    const PixelRect area = clipToClient(left, top, drawWidth, drawHeight);
    if (area.width == 0) {
        return;
    }
    PixelTarget target{pixels_.data(), clientWidth(), clientHeight(), arrayWidth_};
    drawScaled(*source, target, left, top, drawWidth, drawHeight,
               displayDepth_ > 16 ? ScaleQuality::areaAverage : ScaleQuality::nearest);
    pixelsChanged(area);
}

void Canvas::copyRect(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                      Canvas& target, std::int32_t destLeft, std::int32_t destTop)
{
    const std::int64_t x = left;
    const std::int64_t y = top;
    if (width <= 0 || height <= 0 || x + width < 0 || y + height < 0 || x > clientWidth() ||
        y > clientHeight()) {
        return;
    }
    // Only source pixels inside this client area are copied; the rest of the target stays.
    const PixelRect from = clipToClient(x, y, width, height);
    if (from.width == 0) {
        return;
    }
    const std::int64_t shiftX = std::int64_t(destLeft) - x;
    const std::int64_t shiftY = std::int64_t(destTop) - y;
    const PixelRect to = target.clipToClient(from.left + shiftX, from.top + shiftY, from.width, from.height);
    if (to.width == 0) {
        return;
    }
    const std::int64_t sourceLeft = to.left - shiftX;
    const std::int64_t sourceTop = to.top - shiftY;
    const std::size_t rowBytes = std::size_t(to.width) * 4;
    if (&target == this) {
        // Overlapping rows: copy in the direction that reads each row before it is overwritten.
        const bool downwards = to.top > sourceTop;
        for (std::int64_t i = 0; i < to.height; ++i) {
            const std::int64_t row = downwards ? to.height - 1 - i : i;
            std::memmove(pixels_.data() + (to.top + row) * arrayWidth_ + to.left,
                         pixels_.data() + (sourceTop + row) * arrayWidth_ + sourceLeft, rowBytes);
        }
    } else {
        for (std::int64_t row = 0; row < to.height; ++row) {
            std::memcpy(target.pixels_.data() + (to.top + row) * target.arrayWidth_ + to.left,
                        pixels_.data() + (sourceTop + row) * arrayWidth_ + sourceLeft, rowBytes);
        }
    }
    target.pixelsChanged(to);
}

std::int32_t Canvas::measurePictureWidth(std::int32_t id) const
{
    return getPictureSize(id).width;
}

std::int32_t Canvas::measurePictureHeight(std::int32_t id) const
{
    return getPictureSize(id).height;
}

void Canvas::repaint(const PixelRect& area)
{
    const PixelRect clipped = clipToClient(area.left, area.top, area.width, area.height);
    if (clipped.width != 0) {
        pixelsChanged(clipped);
    }
}

void Canvas::pixelsChanged(const PixelRect&) {}

void Canvas::sizeChanged() {}
