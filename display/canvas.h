#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Canvas colours are 24-bit RGB, kept in words 0xFFRRGGBB (the layout of the pixel arrays).
struct CanvasColour {
    bool isSystemFace = false;
    std::uint32_t rgb = 0xFFFFFFFFu;

    static constexpr CanvasColour systemFace() { return {true, 0}; }
    static constexpr CanvasColour fromRgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue)
    {
        return {false, 0xFF000000u | red << 16 | green << 8 | blue};
    }
    // The colour now: systemFace is looked up at every use, since the desktop may change it.
    std::uint32_t resolve() const;
};

// The desktop's face colour of buttons and dialogs. Without a toolkit it is (240, 240, 240) until
// set; the desktop program installs a lookup into the toolkit's palette.
std::uint32_t systemFaceColour();
void setSystemFaceColour(std::uint32_t colour);
void setSystemFaceLookup(std::uint32_t (*lookup)());

enum class BorderStyle {
    none,
    singleLine, // one pixel on every side, outside the client area
};

// An area of a canvas's client area.
struct PixelRect {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

struct CanvasSettings {
    std::int32_t width = 0; // outer size, border included
    std::int32_t height = 0;
    BorderStyle borderStyle = BorderStyle::none;
    CanvasColour backgroundColor = CanvasColour::fromRgb(255, 255, 255);
    bool keepsStore = false;
    bool visible = true;
};

// A drawing surface addressed in client pixels, (0, 0) being the top-left pixel inside the border.
// Operations take effect before they return; what falls outside the client area is dropped.
//
// The canvas keeps one pixel array. With a store it is the store, and the screen always shows the
// same pixels; without one it is the screen, which a repaint puts back on the display as it was last
// drawn. This class is complete in memory; the toolkit canvas puts changed areas on the display.
class Canvas {
  public:
    explicit Canvas(const CanvasSettings& settings);
    virtual ~Canvas() = default;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Outer size, border included.
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    // Each write is one resize, clamped to 0..32627; the pixels stay where they were, an area that
    // the resize adds gets the background colour.
    void setWidth(std::int32_t width);
    void setHeight(std::int32_t height);

    std::int32_t clientWidth() const;
    std::int32_t clientHeight() const;
    BorderStyle borderStyle() const { return borderStyle_; }
    CanvasColour backgroundColor() const { return backgroundColor_; }
    bool keepsStore() const { return keepsStore_; }

    virtual bool visible() const { return visible_; }
    virtual void setVisible(bool visible);

    // The whole client area, or the given rectangle of it (an omitted left or top is 0, an omitted
    // width or height reaches the edge), set to the background colour.
    void clear();
    void clear(std::optional<std::int32_t> left, std::optional<std::int32_t> top,
               std::optional<std::int32_t> width, std::optional<std::int32_t> height);

    // The whole picture scaled to width x height (-1: the picture's own) at (left, top). An id that
    // names no live picture, or a size of 0, draws nothing.
    void drawPicture(std::int32_t id, std::int32_t left, std::int32_t top, std::int32_t width = -1,
                     std::int32_t height = -1);
    // clear() followed by drawPicture(id, left, top, width, height), with the same pixels as a result.
    // A picture without a mask overwrites every pixel of the client area it covers, so only the rest is
    // cleared.
    void clearAndDrawPicture(std::int32_t id, std::int32_t left, std::int32_t top, std::int32_t width,
                             std::int32_t height);
    // The same with 64-bit geometry, for tools and benchmarks that place a picture scaled beyond
    // 32 bits (the viewer passes 32-bit values).
    void drawPictureWide(std::int32_t id, std::int64_t left, std::int64_t top, std::int64_t width,
                         std::int64_t height);

    // An unscaled copy of this canvas's rectangle to (destLeft, destTop) of target. Nothing happens
    // for an empty rectangle or one wholly beyond this client area; source pixels outside this canvas
    // leave the target unchanged.
    void copyRect(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                  Canvas& target, std::int32_t destLeft, std::int32_t destTop);

    std::int32_t measurePictureWidth(std::int32_t id) const;
    std::int32_t measurePictureHeight(std::int32_t id) const;

    // The display asks for an area to be shown again: it shows the pixels last drawn there.
    void repaint(const PixelRect& area);

    // The colour depth the canvas scales for: above 16 bits per pixel pictures are area-averaged,
    // otherwise sampled at the nearest pixel.
    int displayDepth() const { return displayDepth_; }
    void setDisplayDepth(int bitsPerPixel) { displayDepth_ = bitsPerPixel; }

    // The pixel array: arrayWidth() x arrayHeight() words 0xFFRRGGBB, rows packed. It covers the
    // client area (a store is at least 1 x 1 even when the client area is empty).
    const std::uint32_t* pixels() const { return pixels_.data(); }
    std::int32_t arrayWidth() const { return arrayWidth_; }
    std::int32_t arrayHeight() const { return arrayHeight_; }
    // The pixel at (x, y) of the client area; the caller keeps within it.
    std::uint32_t pixel(std::int32_t x, std::int32_t y) const
    {
        return pixels_[std::size_t(y) * std::size_t(arrayWidth_) + std::size_t(x)];
    }

  protected:
    // After the pixels of an area (already clipped to the client area) changed, or a repaint asked
    // for them: the toolkit canvas puts them on the display here.
    virtual void pixelsChanged(const PixelRect& area);
    // After the outer size changed.
    virtual void sizeChanged();

  private:
    void resizeArray();
    PixelRect clipToClient(std::int64_t left, std::int64_t top, std::int64_t width,
                           std::int64_t height) const;

    std::int32_t width_;
    std::int32_t height_;
    BorderStyle borderStyle_;
    CanvasColour backgroundColor_;
    bool keepsStore_;
    bool visible_;
    int displayDepth_ = 32;
    std::int32_t arrayWidth_ = 0;
    std::int32_t arrayHeight_ = 0;
    std::vector<std::uint32_t> pixels_;
};
