#include "FreeImage/FreeImageLibrary.h"

#include <FreeImage.h>

#include <mutex>

void EnsureFreeImageInitialised()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (FreeImage_GetFIFCount() <= 0)
            FreeImage_Initialise(FALSE);
    });
}
