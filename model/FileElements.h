#pragma once
// Writers of elements that name a file and carry the MD5 of its content in a
// "Hash" attribute (32 upper-case hexadecimal digits).
#include <string>

#include "platform/xml/XMLNode.h"

class Picture;

// Appends <name Hash="...">source path</name> for the picture; the hash is
// the picture's recorded MD5, possibly empty. Null when no element could be
// made (null parent, invalid name).
IXMLNode AddPictureFileElement(IXMLNode parent, const std::string& name, const Picture* picture);

// Appends <name>path</name>, with a "Hash" attribute only when the file can
// be read and is not empty. Null when no element could be made.
IXMLNode AddFileElement(IXMLNode parent, const std::string& name, const std::string& path);
