#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/RegularFile.h"
#include "platform/rtl/Stream.h"
#include "platform/xml/XMLError.h"
#include "platform/xml/XMLNode.h"

// An XML 1.0 document in memory. A new document is empty; it is filled by
// loading text or by adding the top-level element with AddChild.
//
// Saving writes the declaration <?xml version="1.0"?> without an encoding
// (the text is UTF-8) and, while NodeAutoIndent is on (the default), puts
// every element on its own line indented by two spaces per level.
// Loading accepts UTF-8, UTF-16 with a byte order mark and Latin-1 declared in
// the declaration; whitespace-only text between elements is dropped and line
// ends are read as LF.
class TXMLDocument {
public:
    TXMLDocument();
    ~TXMLDocument();
    TXMLDocument(const TXMLDocument&) = delete;
    TXMLDocument& operator=(const TXMLDocument&) = delete;

    // All loads replace the content. A text that is not well-formed raises
    // EDOMParseError and leaves the document empty; a file that cannot be
    // read raises EFOpenError or EReadError; only a regular file of at most
    // maxBytes is read (see RegularFile.h).
    void LoadFromFile(const std::string& path, int64_t maxBytes = kNoSizeLimit);
    void LoadFromXML(const std::string& text);
    // Reads from the stream's position to its end.
    void LoadFromStream(TStream& stream);

    // Writes to a temporary file beside the target and renames it over the
    // target, so a failed save leaves an existing file untouched. Raises
    // EFCreateError or EWriteError.
    void SaveToFile(const std::string& path) const;
    std::string SaveToXML() const;
    // Writes at the stream's position.
    void SaveToStream(TStream& stream) const;

    bool NodeAutoIndent() const { return autoIndent_; }
    void SetNodeAutoIndent(bool on) { autoIndent_ = on; }
    std::string Version() const { return "1.0"; }

    bool IsEmpty() const;
    // The top-level element, or the null node when there is none.
    IXMLNode DocumentElement() const;
    // The document node itself; its children are the top-level nodes.
    IXMLNode Node() const;
    // The top-level element when it has that name, else the null node.
    IXMLNode ChildNode(const std::string& name) const;
    // Top-level nodes in document order.
    std::vector<IXMLNode> ChildNodes() const;
    // Creates the top-level element. A document holds one: a second raises
    // EXMLDocError.
    IXMLNode AddChild(const std::string& name);
    // Removes everything.
    void Clear();

private:
    void Parse(const void* data, size_t size, const std::string& source);

    std::unique_ptr<pugi::xml_document> doc_;
    bool autoIndent_ = true;
};
