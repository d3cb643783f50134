#pragma once

// The XML document model of the player records: a thin layer over pugixml.
//
//   XmlDocument doc;                          an empty document (no root yet)
//   doc.LoadFromFile(path) / LoadFromText(s)  replace the content; EXmlError when malformed/unreadable
//   doc.CreateDocumentElement("CHILD")        start a new document with a root element
//   doc.SaveToFile(path)                      write atomically (old file or new file, never half)
//   doc.SaveToText()                          the same bytes as a string
//   XmlNode root = doc.DocumentElement();     the root element (null when there is none)
//   root.FindChild(name)                      first child element with exactly this name, or null
//   root.AppendChild(name)                    new last child element; EXmlError for a bad name
//   node.Attribute(name) / HasAttribute(name) read an attribute ("" when missing)
//   node.AttributeAsInteger(name)             its value as a 32-bit integer; EXmlError when not one
//   node.TryAttributeAsInteger(name)          the same, nullopt instead of an error
//   node.SetAttribute(name, text or int32)    new attributes go last, existing ones change in place
//   node.ChildElements(), node.NodeName()
//   IsXmlName(name)                           the XML 1.0 Name rule (UTF-8, non-ASCII included)
//
// Serialisation: UTF-8 without byte-order mark, no declaration unless the loaded file had one,
// no whitespace added between elements, empty elements closed as <a x="1"/>, no final line end.
// A record built as <CHILD name="Player_One"><Week_3><CAT word="CAT" trys="2" correct="1"/>...
// comes out byte for byte as written here.
//
// Every element and attribute name, whether loaded or added, is checked against the Name rule, and
// a loaded document must have exactly one root element, unique attribute names and only the five
// predefined or numeric character references; so whatever loads or is built here saves as a
// well-formed file.
//
// XmlNode is a handle; it stays valid while its document lives and is not reloaded.

#include "rtl/Exception.h"

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Every failure of the document model: malformed text, a file that cannot be read or written, a
// name that is not an XML name, an attribute that is not an integer, a null node used.
class EXmlError : public rtl::Exception {
public:
    using Exception::Exception;
};

// The XML 1.0 (fifth edition) Name production on UTF-8 text; false for empty or invalid UTF-8.
bool IsXmlName(std::string_view name);

class XmlNode {
public:
    XmlNode() = default;
    explicit XmlNode(pugi::xml_node node) : node_(node) {}

    bool IsNull() const { return !node_; }
    explicit operator bool() const { return static_cast<bool>(node_); }

    std::string NodeName() const;

    // First child element named exactly `name` (case-sensitive), or a null node.
    XmlNode FindChild(std::string_view name) const;
    // Appends a new element as the last child; EXmlError when `name` is not an XML name.
    XmlNode AppendChild(std::string_view name);
    // The child elements in document order.
    std::vector<XmlNode> ChildElements() const;

    bool HasAttribute(std::string_view name) const;
    // The attribute's value, "" when it is missing.
    std::string Attribute(std::string_view name) const;
    // Decimal value (optional sign, digits, within 32 bits); EXmlError when missing or not one.
    std::int32_t AttributeAsInteger(std::string_view name) const;
    std::optional<std::int32_t> TryAttributeAsInteger(std::string_view name) const;
    // Sets the value in place when the attribute exists, else adds it after the others.
    // EXmlError when `name` is not an XML name.
    void SetAttribute(std::string_view name, std::string_view value);
    void SetAttribute(std::string_view name, const char* value)
    {
        SetAttribute(name, std::string_view(value));
    }
    void SetAttribute(std::string_view name, std::int32_t value);

    pugi::xml_node Raw() const { return node_; }
    friend bool operator==(const XmlNode& a, const XmlNode& b) { return a.node_ == b.node_; }

private:
    pugi::xml_node Checked() const; // EXmlError on a null node
    pugi::xml_node node_;
};

class XmlDocument {
public:
    XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Replace the content with the parsed file or text. On failure the document is left empty
    // and EXmlError carries the reason (with line and column for malformed text).
    void LoadFromFile(const std::filesystem::path& path);
    void LoadFromText(std::string_view text);
    // The bytes LoadFromFile parses, with its checks (a regular file, not too large);
    // EXmlError when the file cannot be read.
    static std::string ReadFileText(const std::filesystem::path& path);

    // Drops the content and makes a new root element; EXmlError when `name` is not an XML name.
    XmlNode CreateDocumentElement(std::string_view name);

    // The root element, or a null node for an empty document.
    XmlNode DocumentElement() const;

    // Writes the document to `path`, replacing the file atomically: the bytes go to a hidden
    // temporary file in the same folder (".<name>.tmp-XXXXXX", never matching "*.xml"), are
    // flushed to disk and renamed over the target, and the folder is flushed. On any failure the
    // temporary file is removed, the old file stays as it was, and EXmlError tells why.
    // EXmlError also for a document without a root element. Gives the bytes written.
    std::string SaveToFile(const std::filesystem::path& path) const;
    std::string SaveToText() const;

private:
    pugi::xml_document doc_;
};

} // namespace platform
