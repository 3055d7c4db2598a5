#pragma once
// The product's addresses on the web, from the build's CMake cache variables,
// and the fixed texts of the About box. An empty address is unknown: texts
// that would name it leave it out, and links to it are not offered.
#ifndef VELMORA_WEB_SITE
#define VELMORA_WEB_SITE ""
#endif
#ifndef VELMORA_UPDATE_HOST
#define VELMORA_UPDATE_HOST ""
#endif
#ifndef VELMORA_MAKER_SITE
#define VELMORA_MAKER_SITE ""
#endif
#ifndef VELMORA_TUTORIAL_PAGE
#define VELMORA_TUTORIAL_PAGE ""
#endif
#ifndef VELMORA_FEEDBACK_PAGE
#define VELMORA_FEEDBACK_PAGE ""
#endif
#ifndef VELMORA_VERSION
#define VELMORA_VERSION ""
#endif

namespace ProductAddresses {
inline constexpr const char* WebSite = VELMORA_WEB_SITE;
// The host (and port, when not 443) that serves the update description over
// HTTPS; empty: the program never looks for updates.
inline constexpr const char* UpdateHost = VELMORA_UPDATE_HOST;
// The maker's web page (the About box's link).
inline constexpr const char* MakerSite = VELMORA_MAKER_SITE;
inline constexpr const char* TutorialPage = VELMORA_TUTORIAL_PAGE;
inline constexpr const char* FeedbackPage = VELMORA_FEEDBACK_PAGE;
} // namespace ProductAddresses

// The five texts the About box shows, in the order it sets them.
namespace AboutTexts {
inline constexpr const char* Caption = "About Velmora Voravev";
inline constexpr const char* Name = "Velmora Voravev";
inline constexpr const char* Version = "Version " VELMORA_VERSION;
inline constexpr const char* Notice = "Portfolios for visual artists: web pages, PDF documents, CDs and e-mail.";
inline constexpr const char* Button = "&OK";
} // namespace AboutTexts
