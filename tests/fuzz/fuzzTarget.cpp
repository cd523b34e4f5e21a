#include "tests/fuzz/fuzzTarget.h"

#include "display/canvas.h"
#include "display/pictureStore.h"

void drawAtSeveralScales(std::optional<Picture> picture)
{
    if (!picture) {
        return;
    }
    const std::int32_t id = addPicture(std::move(*picture));
    if (id == 0) {
        return;
    }
    const PictureSize size = getPictureSize(id);
    CanvasSettings settings;
    settings.width = 64;
    settings.height = 48;
    settings.keepsStore = true;
    Canvas canvas(settings);
    struct Placement {
        std::int64_t left, top, width, height;
    };
    const auto clampTo32 = [](std::int64_t v) { return std::int32_t(std::min<std::int64_t>(v, INT32_MAX)); };
    const Placement placements[] = {
        {0, 0, size.width / 7 + 1, size.height / 5 + 1}, // shrunk
        {-3, -2, size.width, size.height},               // own size, cut at the top left
        {-5, -7, std::int64_t(size.width) * 3 + 1, std::int64_t(size.height) * 2 + 1}, // enlarged
    };
    for (int depth : {32, 16}) {
        canvas.setDisplayDepth(depth);
        for (const Placement& p : placements) {
            canvas.drawPicture(id, std::int32_t(p.left), std::int32_t(p.top), clampTo32(p.width),
                               clampTo32(p.height));
        }
    }
    unloadPicture(id);
}
