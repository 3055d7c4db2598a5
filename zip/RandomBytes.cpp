#include "zip/RandomBytes.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/rtl/Exception.h"

void FillRandomBytes(void* buffer, size_t size)
{
    auto* out = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        ssize_t got = getrandom(out, size, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Exception(std::string("Cannot read random bytes: ") + std::strerror(errno));
        }
        out += got;
        size -= static_cast<size_t>(got);
    }
}
