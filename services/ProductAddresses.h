#pragma once
// The product's addresses on the web, from the build's CMake cache variables.
// An empty address is unknown: texts that would name it leave it out.
#ifndef VELMORA_WEB_SITE
#define VELMORA_WEB_SITE ""
#endif
#ifndef VELMORA_UPDATE_HOST
#define VELMORA_UPDATE_HOST ""
#endif

namespace ProductAddresses {
inline constexpr const char* WebSite = VELMORA_WEB_SITE;
// The host (and port, when not 443) that serves the update description over
// HTTPS; empty: the program never looks for updates.
inline constexpr const char* UpdateHost = VELMORA_UPDATE_HOST;
}
