#pragma once

#include <wincodec.h>

#include "basic_lib/com_ptr.h"

namespace image {

// The process-wide imaging factory (the first WIC factory class, free-threaded), created once on
// the interface thread at start-up and then shared by every loader and worker.
HRESULT CreateSharedWicFactory();
// Installs a factory made elsewhere (tests), or clears it with nullptr.
void SetSharedWicFactory(IWICImagingFactory* factory);
// Null when creation failed or has not happened; every WIC path then fails.
basic_lib::ComPtr<IWICImagingFactory> GetSharedWicFactory();

}  // namespace image
