#pragma once
#include <string>

#include "platform/xml/XMLNode.h"

// Readers of a child element's value with a fallback for a missing value.
// Every reader of the program's XML formats goes through them.

// The text of the named child element; empty when the child is missing or
// holds no text.
std::string GetChildValue(const IXMLNode& node, const std::string& name);

// The named child element's value as a boolean: "true" and "false" in any
// letter case, or an integer (non-zero is true), blanks around it allowed.
// A missing or empty child, or any other text, gives the default.
bool GetChildBool(const IXMLNode& node, const std::string& name, bool defaultValue);
