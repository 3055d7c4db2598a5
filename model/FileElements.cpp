#include "model/FileElements.h"

#include "model/MD5.h"
#include "model/Picture.h"
#include "platform/xml/XMLError.h"

namespace {

IXMLNode AppendElement(IXMLNode& parent, const std::string& name)
{
    try {
        return parent.AddChild(name);
    } catch (const EXMLDocError&) {
        return IXMLNode();
    }
}

} // namespace

IXMLNode AddPictureFileElement(IXMLNode parent, const std::string& name, const Picture* picture)
{
    IXMLNode element = AppendElement(parent, name);
    if (element.IsNull())
        return element;
    element.SetText(picture ? picture->GetFileName() : std::string());
    element.SetAttribute("Hash", picture ? picture->GetHash() : std::string());
    return element;
}

IXMLNode AddFileElement(IXMLNode parent, const std::string& name, const std::string& path)
{
    IXMLNode element = AppendElement(parent, name);
    if (element.IsNull())
        return element;
    element.SetText(path);
    const MD5 md5;
    if (const HashDigest digest = md5.DigestFile(path))
        element.SetAttribute("Hash", md5.ToHex(digest.get()));
    return element;
}
