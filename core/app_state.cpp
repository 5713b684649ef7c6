// The one AppState record.
#include "core/app_state.h"

AppStateRecord AppState = {
    nullptr, nullptr, nullptr, nullptr,
    /*isActive=*/true, /*isFullScreen=*/false, /*viewHasFocus=*/false, /*positionDirty=*/false,
    Offline, /*frameScale=*/1.0f, /*sceneClock=*/0.0f, /*sceneReady=*/false,
};
