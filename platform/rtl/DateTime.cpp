#include "platform/rtl/DateTime.h"

#include <ctime>

TDateTime Now()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    const time_t seconds = ts.tv_sec;
    localtime_r(&seconds, &local);
    const double localSeconds = static_cast<double>(ts.tv_sec + local.tm_gmtoff) + ts.tv_nsec / 1e9;
    return localSeconds / 86400.0 + UnixDateDelta;
}
