#include "app/programMain.h"

#include "app/windowDesign.h"
#include "platform/platform.h"
#include "viewer/viewState.h"

#include <cfenv>
#include <cstring>

void resetFloatingPoint()
{
    std::fesetenv(FE_DFL_ENV);
    std::fesetround(FE_TONEAREST);
    // The default environment already masks them all; a library that unmasked one is undone here.
    fedisableexcept(FE_ALL_EXCEPT);
    std::feclearexcept(FE_ALL_EXCEPT);
}

// Three 8-byte fields: the block that allocateBlock is asked for is 24 bytes.
static_assert(sizeof(ViewState) == 24);

void allocateViewState()
{
    void* block = allocateBlock(sizeof(ViewState));
    std::memset(block, 0, sizeof(ViewState));
    view = static_cast<ViewState*>(block);
}

void releaseViewState()
{
    freeBlock(view);
}

std::int32_t programMain()
{
    initPlatform(programWindowDesign());
    resetFloatingPoint();
    allocateViewState();
    registerExitRoutine(releaseViewState);
    loadWindow(mainWindowIdentifier);
    runEventLoop();
    return 0;
}
