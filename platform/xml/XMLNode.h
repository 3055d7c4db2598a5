#pragma once
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

// A value read from a document that may be absent: a missing child element,
// an element without text or a missing attribute reads as std::nullopt.
using XMLValue = std::optional<std::string>;

// A handle to one node of a TXMLDocument. It is cheap to copy and does not own
// the node: it stays valid as long as its document does and the node is not
// removed. A default-constructed handle is the null node; every read of a null
// node gives an empty or null result, so lookups can be chained safely.
//
// Texts are UTF-8. Non-element nodes are named after their DOM kind
// ("#text", "#cdata-section", "#comment", "#document"), so a loop that picks
// children by element name never mistakes them for elements.
class IXMLNode {
public:
    IXMLNode() = default;

    bool IsNull() const { return !node_; }
    explicit operator bool() const { return static_cast<bool>(node_); }
    bool operator==(const IXMLNode& other) const { return node_ == other.node_; }

    bool IsElement() const { return node_.type() == pugi::node_element; }
    std::string NodeName() const;

    // The text held directly by the node: for an element its text and CDATA
    // children joined, for a text or comment node its own text.
    std::string Text() const;
    // Replaces everything inside an element by one text node (none for an
    // empty text). Throws EXMLDocError on a null node.
    void SetText(const std::string& text);
    // Text() when the node holds text, null when it holds none or holds
    // child elements.
    XMLValue NodeValue() const;

    bool HasChildNodes() const { return static_cast<bool>(node_.first_child()); }
    // Every child node in document order.
    std::vector<IXMLNode> ChildNodes() const;
    // The first child element of that name (exact, case-sensitive), or null.
    IXMLNode ChildNode(const std::string& name) const;
    // The value of that child element; null when it is missing or has no text.
    XMLValue ChildValue(const std::string& name) const;
    // Appends a new element at the end of the children and returns it.
    // Throws EXMLDocError on a null node or an invalid name.
    IXMLNode AddChild(const std::string& name);

    bool HasAttribute(const std::string& name) const;
    // Null when the attribute is missing; an empty attribute gives "".
    XMLValue GetAttribute(const std::string& name) const;
    // Adds the attribute after the existing ones, or replaces its value.
    // Throws EXMLDocError on a null node or an invalid name.
    void SetAttribute(const std::string& name, const std::string& value);

private:
    friend class TXMLDocument;
    explicit IXMLNode(pugi::xml_node node) : node_(node) {}

    pugi::xml_node node_;
};
