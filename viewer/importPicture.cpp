#include "display/canvas.h"
#include "display/openFileDialog.h"
#include "display/pictureStore.h"
#include "viewer/handlers.h"
#include "viewer/viewState.h"

#include <string>

void onImportClicked()
{
    if (!通用对话框->open()) {
        return;
    }
    // The old picture goes before the new file is even opened: a failed load leaves no picture.
    unloadPicture(pictureId);
    const std::string fileName = 通用对话框->fileName().value_or(std::string());
    pictureId = loadPicture(fileName);
    pictureWidth = 画板->measurePictureWidth(pictureId);
    pictureHeight = 画板->measurePictureHeight(pictureId);
    view->offsetX = viewWidth;
    view->offsetY = viewHeight;
    view->scale = 1.0;
    redrawView();
    if (pictureId == 0) {
        // redrawView draws nothing without a picture; the view would go on showing the unloaded
        // picture's last frame. Show the empty face instead, and leave the back canvas matching it
        // so a drag previews nothing stale either.
        画板后台->clear();
        画板后台->copyRect(viewWidth, viewHeight, viewWidth, viewHeight, *画板, 0, 0);
    }
}
