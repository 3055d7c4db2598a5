#include "platform/xml/XMLDocument.h"

#include "platform/rtl/WriteFailure.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/rtl/Exception.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/SafeFileWriter.h"

namespace {

// The fragment mode keeps text found outside the top-level element, so that
// such text can be refused below instead of being dropped silently. An
// element whose whole text is blanks (a name of spaces, a lone line break)
// keeps it; blanks between elements are layout and go.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_fragment | pugi::parse_declaration | pugi::parse_ws_pcdata_single;

// Collects the serialised text.
class StringWriter : public pugi::xml_writer {
public:
    explicit StringWriter(std::string& out) : out_(out) {}
    void write(const void* data, size_t size) override
    {
        out_.append(static_cast<const char*>(data), size);
    }

private:
    std::string& out_;
};

// 1-based line and column of a byte offset into the parsed text.
void LocateOffset(const char* data, size_t size, ptrdiff_t offset, int& line, int& column)
{
    line = 1;
    column = 1;
    if (offset < 0)
        return;
    const size_t end = std::min(size, static_cast<size_t>(offset));
    for (size_t i = 0; i < end; ++i) {
        if (data[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
}

// The first element, in document order, that repeats an attribute name.
pugi::xml_node FindDuplicateAttribute(pugi::xml_node root)
{
    std::vector<std::string_view> names;
    for (pugi::xml_node node = root; node;) {
        if (node.type() == pugi::node_element && node.first_attribute()) {
            names.clear();
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
                names.emplace_back(a.name());
            std::sort(names.begin(), names.end());
            if (std::adjacent_find(names.begin(), names.end()) != names.end())
                return node;
        }
        // Depth-first walk without recursion, so deep nesting cannot
        // exhaust the stack.
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && node != root && !node.next_sibling())
            node = node.parent();
        if (!node || node == root)
            break;
        node = node.next_sibling();
    }
    return pugi::xml_node();
}

} // namespace

TXMLDocument::TXMLDocument() : doc_(std::make_unique<pugi::xml_document>()) {}

TXMLDocument::~TXMLDocument() = default;

void TXMLDocument::Parse(const void* data, size_t size, const std::string& source)
{
    pugi::xml_parse_result result = doc_->load_buffer(data, size, kParseOptions, pugi::encoding_auto);
    std::string reason;
    ptrdiff_t offset = -1;
    if (!result) {
        reason = result.description();
        offset = result.offset;
    } else {
        // The parser is lenient about the document level; a well-formed
        // document has exactly one element there, no text, and a declaration
        // only at its very start.
        int elements = 0;
        for (pugi::xml_node node = doc_->first_child(); node && reason.empty(); node = node.next_sibling()) {
            switch (node.type()) {
            case pugi::node_element:
                if (++elements > 1)
                    reason = "More than one top-level element";
                break;
            case pugi::node_declaration:
                if (node != doc_->first_child())
                    reason = "Misplaced XML declaration";
                break;
            case pugi::node_pcdata:
            case pugi::node_cdata:
                reason = "Text outside the top-level element";
                break;
            default:
                break;
            }
            if (!reason.empty())
                offset = node.offset_debug();
        }
        if (reason.empty() && elements == 0)
            reason = "No document element found";
        if (reason.empty()) {
            pugi::xml_node repeated = FindDuplicateAttribute(doc_->document_element());
            if (repeated) {
                reason = "Attribute repeated in element '" + std::string(repeated.name()) + "'";
                offset = repeated.offset_debug();
            }
        }
        if (reason.empty()) {
            // Saving writes a declaration of its own.
            if (doc_->first_child().type() == pugi::node_declaration)
                doc_->remove_child(doc_->first_child());
            return;
        }
    }
    doc_->reset();
    int line = 0;
    int column = 0;
    if (offset >= 0 && (result.encoding == pugi::encoding_utf8 || result.encoding == pugi::encoding_latin1))
        LocateOffset(static_cast<const char*>(data), size, offset, line, column);
    std::string message = "The XML";
    if (!source.empty())
        message += " file '" + source + "'";
    message += " is not well-formed: " + reason;
    if (line > 0)
        message += " (line " + std::to_string(line) + ", column " + std::to_string(column) + ")";
    message += ".";
    throw EDOMParseError(message, reason, line, column);
}

void TXMLDocument::LoadFromFile(const std::string& path, int64_t maxBytes)
{
    TMemoryStream bytes;
    bytes.LoadFromFile(path, maxBytes);
    Parse(bytes.Memory(), static_cast<size_t>(bytes.GetSize()), path);
}

void TXMLDocument::LoadFromXML(const std::string& text)
{
    Parse(text.data(), text.size(), "");
}

void TXMLDocument::LoadFromStream(TStream& stream)
{
    const int64_t remaining = stream.GetSize() - stream.GetPosition();
    std::string bytes(static_cast<size_t>(std::max<int64_t>(0, remaining)), '\0');
    if (!bytes.empty())
        stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    Parse(bytes.data(), bytes.size(), "");
}

std::string TXMLDocument::SaveToXML() const
{
    std::string text = "<?xml version=\"1.0\"?>";
    if (autoIndent_)
        text += "\n";
    StringWriter writer(text);
    const unsigned flags = pugi::format_no_declaration
        | (autoIndent_ ? pugi::format_indent : pugi::format_raw);
    doc_->save(writer, "  ", flags, pugi::encoding_utf8);
    // A reader turns a raw CR into LF (and CR LF into one LF); written as a
    // character reference it comes back as it was. The writer's own line
    // ends are LF, so every CR here belongs to a text or an attribute.
    std::string::size_type at = text.find('\r');
    if (at == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size() + 16);
    std::string::size_type from = 0;
    for (; at != std::string::npos; at = text.find('\r', from)) {
        out.append(text, from, at - from);
        out += "&#13;";
        from = at + 1;
    }
    out.append(text, from, std::string::npos);
    return out;
}

void TXMLDocument::SaveToStream(TStream& stream) const
{
    const std::string text = SaveToXML();
    stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TXMLDocument::SaveToFile(const std::string& path) const
{
    const std::string text = SaveToXML();
    // The messages name the file once and the cause in the user's words.
    std::unique_ptr<TSafeFileStream> file;
    try {
        file = std::make_unique<TSafeFileStream>(path);
    } catch (const ESafeCreateError& error) {
        throw EFCreateError(error.Code() ? WriteFailureText(path, error.Code()) : error.Message());
    }
    if (file->Write(text.data(), static_cast<int64_t>(text.size())) != static_cast<int64_t>(text.size())
        || !file->Commit())
        throw EWriteError(file->ErrorCode() || file->ErrorText().empty() ? WriteFailureText(path, file->ErrorCode())
                                                                         : "Cannot write file \"" + path + "\". " +
                                                                               file->ErrorText());
}

bool TXMLDocument::IsEmpty() const
{
    return !doc_->first_child();
}

IXMLNode TXMLDocument::DocumentElement() const
{
    return IXMLNode(doc_->document_element());
}

IXMLNode TXMLDocument::Node() const
{
    return IXMLNode(*doc_);
}

IXMLNode TXMLDocument::ChildNode(const std::string& name) const
{
    pugi::xml_node root = doc_->document_element();
    return root.name() == name ? IXMLNode(root) : IXMLNode();
}

std::vector<IXMLNode> TXMLDocument::ChildNodes() const
{
    return Node().ChildNodes();
}

IXMLNode TXMLDocument::AddChild(const std::string& name)
{
    if (doc_->document_element())
        throw EXMLDocError("Only one top level element is allowed in an XML document.");
    return Node().AddChild(name);
}

void TXMLDocument::Clear()
{
    doc_->reset();
}
