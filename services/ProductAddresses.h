#pragma once
// The product's addresses on the web, from the build's CMake cache variables.
// An empty address is unknown: texts that would name it leave it out.
#ifndef VELMORA_WEB_SITE
#define VELMORA_WEB_SITE ""
#endif

namespace ProductAddresses {
inline constexpr const char* WebSite = VELMORA_WEB_SITE;
}
