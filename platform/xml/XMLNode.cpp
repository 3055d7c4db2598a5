#include "platform/xml/XMLNode.h"

#include "platform/xml/XMLError.h"

namespace {

bool IsNameStart(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned char c)
{
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// A name that would not survive a save and a load is refused up front rather
// than written into a file no parser can read back.
void CheckName(const std::string& name, const char* what)
{
    bool ok = !name.empty() && IsNameStart(static_cast<unsigned char>(name[0]));
    for (size_t i = 1; ok && i < name.size(); ++i)
        ok = IsNameChar(static_cast<unsigned char>(name[i]));
    if (!ok)
        throw EXMLDocError(std::string("Invalid ") + what + " name '" + name + "'.");
}

void CheckNotNull(const pugi::xml_node& node)
{
    if (!node)
        throw EXMLDocError("The XML node is null.");
}

bool IsText(const pugi::xml_node& node)
{
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

} // namespace

std::string IXMLNode::NodeName() const
{
    switch (node_.type()) {
    case pugi::node_element:
    case pugi::node_pi:
        return node_.name();
    case pugi::node_pcdata:
        return "#text";
    case pugi::node_cdata:
        return "#cdata-section";
    case pugi::node_comment:
        return "#comment";
    case pugi::node_document:
        return "#document";
    default:
        return "";
    }
}

std::string IXMLNode::Text() const
{
    if (node_.type() != pugi::node_element)
        return node_.value();
    std::string text;
    for (pugi::xml_node child = node_.first_child(); child; child = child.next_sibling())
        if (IsText(child))
            text += child.value();
    return text;
}

void IXMLNode::SetText(const std::string& text)
{
    CheckNotNull(node_);
    if (node_.type() != pugi::node_element) {
        node_.set_value(text.c_str());
        return;
    }
    while (node_.first_child())
        node_.remove_child(node_.first_child());
    if (!text.empty())
        node_.append_child(pugi::node_pcdata).set_value(text.c_str());
}

XMLValue IXMLNode::NodeValue() const
{
    if (!node_)
        return std::nullopt;
    if (node_.type() != pugi::node_element)
        return std::string(node_.value());
    bool hasText = false;
    for (pugi::xml_node child = node_.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element)
            return std::nullopt;
        hasText = hasText || IsText(child);
    }
    if (!hasText)
        return std::nullopt;
    return Text();
}

std::vector<IXMLNode> IXMLNode::ChildNodes() const
{
    std::vector<IXMLNode> nodes;
    for (pugi::xml_node child = node_.first_child(); child; child = child.next_sibling())
        nodes.push_back(IXMLNode(child));
    return nodes;
}

IXMLNode IXMLNode::ChildNode(const std::string& name) const
{
    return IXMLNode(node_.child(name.c_str()));
}

XMLValue IXMLNode::ChildValue(const std::string& name) const
{
    return ChildNode(name).NodeValue();
}

IXMLNode IXMLNode::AddChild(const std::string& name)
{
    CheckNotNull(node_);
    CheckName(name, "element");
    pugi::xml_node child = node_.append_child(name.c_str());
    if (!child)
        throw EXMLDocError("Cannot add the element '" + name + "' here.");
    return IXMLNode(child);
}

bool IXMLNode::HasAttribute(const std::string& name) const
{
    return static_cast<bool>(node_.attribute(name.c_str()));
}

XMLValue IXMLNode::GetAttribute(const std::string& name) const
{
    pugi::xml_attribute attribute = node_.attribute(name.c_str());
    if (!attribute)
        return std::nullopt;
    return std::string(attribute.value());
}

void IXMLNode::SetAttribute(const std::string& name, const std::string& value)
{
    CheckNotNull(node_);
    CheckName(name, "attribute");
    pugi::xml_attribute attribute = node_.attribute(name.c_str());
    if (!attribute)
        attribute = node_.append_attribute(name.c_str());
    if (!attribute)
        throw EXMLDocError("Cannot set the attribute '" + name + "' here.");
    attribute.set_value(value.c_str());
}
