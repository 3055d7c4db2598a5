#pragma once
#include <string>

// The text as one segment of a URL path: every byte but the unreserved
// characters (letters, digits, "-", ".", "_", "~") as "%XX", so it can
// neither add a path level nor break the markup or address it stands in.
std::string PercentEncodeSegment(const std::string& text);
