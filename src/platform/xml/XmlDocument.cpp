#include "platform/xml/XmlDocument.h"

#include "platform/AsciiCase.h"
#include "platform/fs/Files.h"
#include "platform/xml/AtomicFile.h"
#include "platform/xml/XmlChars.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <unordered_set>

namespace platform {

namespace fs = std::filesystem;

namespace {

// Player records are a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t kMaxFileSize = 64u * 1024 * 1024;

// Comments, processing instructions and the declaration are kept so a hand-made file keeps them;
// references are decoded by ValidateTree, which also rejects the ones pugixml would let through.
// Fragment mode keeps text outside the root element, so that it can be refused rather than lost.
constexpr unsigned kParseOptions = (pugi::parse_default & ~pugi::parse_escapes) | pugi::parse_declaration |
                                   pugi::parse_comments | pugi::parse_pi | pugi::parse_fragment;

std::string Quoted(std::string_view s)
{
    return "\"" + std::string(s) + "\"";
}

void CheckName(std::string_view name, const char* what)
{
    if (!IsXmlName(name))
        throw EXmlError(std::string("Invalid ") + what + " name: " + Quoted(name));
}

std::string PositionOf(std::string_view text, std::ptrdiff_t offset)
{
    const auto end = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, offset));
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < end && i < text.size(); ++i) {
        if (text[i] == '\n')
            line += 1, column = 1;
        else
            ++column;
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

bool AllOf(std::string_view text, std::string_view allowed)
{
    return text.find_first_not_of(allowed) == std::string_view::npos;
}

// <?xml version="1.n" encoding="Name" standalone="yes|no"?>, first in the document, in that order.
void CheckDeclaration(pugi::xml_node node)
{
    static constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    static constexpr std::string_view digits = "0123456789";
    bool valid = node == node.parent().first_child();
    pugi::xml_attribute attr = node.first_attribute();
    const std::string_view version = attr ? attr.value() : "";
    valid = valid && attr && std::string_view(attr.name()) == "version" && version.size() > 2 &&
            version.substr(0, 2) == "1." && AllOf(version.substr(2), digits);
    if (valid && (attr = attr.next_attribute()) && std::string_view(attr.name()) == "encoding") {
        const std::string_view encoding = attr.value();
        valid = !encoding.empty() && letters.find(encoding.front()) != std::string_view::npos &&
                AllOf(encoding, std::string(letters) + std::string(digits) + "._-");
        attr = attr.next_attribute();
    }
    if (valid && attr && std::string_view(attr.name()) == "standalone") {
        valid = std::string_view(attr.value()) == "yes" || std::string_view(attr.value()) == "no";
        attr = attr.next_attribute();
    }
    if (!valid || attr)
        throw EXmlError("Invalid XML declaration");
}

class TreeWriter : public pugi::xml_writer {
public:
    void write(const void* data, std::size_t size) override
    {
        out.append(static_cast<const char*>(data), size);
    }
    std::string out;
};

// Checks what pugixml accepts but XML does not, and decodes references in place. Iterative, so
// deeply nested input cannot exhaust the stack.
void ValidateTree(pugi::xml_document& doc)
{
    int roots = 0;
    for (pugi::xml_node child : doc.children())
        if (child.type() == pugi::node_element)
            ++roots;
        else if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            throw EXmlError("Text outside the root element");
    if (roots != 1)
        throw EXmlError(roots == 0 ? "No root element" : "Only one top level element is allowed");

    std::unordered_set<std::string_view> names; // attribute names of one element
    pugi::xml_node node = doc.first_child();
    while (node) {
        switch (node.type()) {
        case pugi::node_element:
            CheckName(node.name(), "element");
            names.clear();
            for (pugi::xml_attribute attr : node.attributes()) {
                CheckName(attr.name(), "attribute");
                if (!names.insert(attr.name()).second)
                    throw EXmlError("Duplicate attribute: " + Quoted(attr.name()));
                const auto value = xmlchars::DecodeReferences(attr.value(), true);
                if (!value || !xmlchars::IsXmlText(*value))
                    throw EXmlError("Invalid attribute value: " + Quoted(attr.name()));
                attr.set_value(value->c_str());
            }
            break;
        case pugi::node_pcdata: {
            const auto value = xmlchars::DecodeReferences(node.value(), false);
            if (!value || !xmlchars::IsXmlText(*value))
                throw EXmlError("Invalid character data in element " + Quoted(node.parent().name()));
            node.set_value(value->c_str());
            break;
        }
        case pugi::node_declaration:
            CheckDeclaration(node);
            // The document is always written as UTF-8, whatever the file was read as.
            if (node.attribute("encoding"))
                node.attribute("encoding").set_value("UTF-8");
            break;
        case pugi::node_comment: {
            const std::string_view value = node.value();
            if (value.find("--") != std::string_view::npos || (!value.empty() && value.back() == '-') ||
                !xmlchars::IsXmlText(value))
                throw EXmlError("Invalid comment");
            break;
        }
        case pugi::node_pi:
            if (!IsXmlName(node.name()) || EqualsIgnoreAsciiCase(node.name(), "xml") ||
                !xmlchars::IsXmlText(node.value()))
                throw EXmlError("Invalid processing instruction");
            break;
        default:
            if (!xmlchars::IsXmlText(node.value()))
                throw EXmlError("Invalid character in document");
            break;
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling())
            node = node.parent();
        if (node)
            node = node.next_sibling();
    }
}

} // namespace

bool IsXmlName(std::string_view name)
{
    if (name.empty())
        return false;
    for (std::size_t pos = 0; pos < name.size();) {
        const bool first = pos == 0;
        const auto c = xmlchars::DecodeUtf8(name, pos);
        if (!c || !(first ? xmlchars::IsNameStartChar(*c) : xmlchars::IsNameChar(*c)))
            return false;
    }
    return true;
}

// ---- XmlNode ----

pugi::xml_node XmlNode::Checked() const
{
    if (!node_)
        throw EXmlError("Node is nil");
    return node_;
}

std::string XmlNode::NodeName() const
{
    return Checked().name();
}

XmlNode XmlNode::FindChild(std::string_view name) const
{
    for (pugi::xml_node child : Checked().children())
        if (child.type() == pugi::node_element && name == child.name())
            return XmlNode(child);
    return {};
}

XmlNode XmlNode::AppendChild(std::string_view name)
{
    pugi::xml_node parent = Checked();
    CheckName(name, "element");
    return XmlNode(parent.append_child(std::string(name).c_str()));
}

std::vector<XmlNode> XmlNode::ChildElements() const
{
    std::vector<XmlNode> result;
    for (pugi::xml_node child : Checked().children())
        if (child.type() == pugi::node_element)
            result.emplace_back(child);
    return result;
}

bool XmlNode::HasAttribute(std::string_view name) const
{
    return static_cast<bool>(Checked().attribute(std::string(name).c_str()));
}

std::string XmlNode::Attribute(std::string_view name) const
{
    return Checked().attribute(std::string(name).c_str()).value();
}

std::optional<std::int32_t> XmlNode::TryAttributeAsInteger(std::string_view name) const
{
    const pugi::xml_attribute attr = Checked().attribute(std::string(name).c_str());
    if (!attr)
        return std::nullopt;
    std::string_view text = attr.value();
    const bool plus = !text.empty() && text.front() == '+'; // from_chars takes "-" but not "+"
    if (plus)
        text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-'))
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::int32_t XmlNode::AttributeAsInteger(std::string_view name) const
{
    if (const auto value = TryAttributeAsInteger(name))
        return *value;
    if (!HasAttribute(name))
        throw EXmlError("Attribute " + Quoted(name) + " is missing");
    throw EXmlError("'" + Attribute(name) + "' is not a valid integer value");
}

void XmlNode::SetAttribute(std::string_view name, std::string_view value)
{
    pugi::xml_node node = Checked();
    CheckName(name, "attribute");
    if (!xmlchars::IsXmlText(value))
        throw EXmlError("Invalid character in the value of attribute " + Quoted(name));
    const std::string key(name);
    pugi::xml_attribute attr = node.attribute(key.c_str());
    if (!attr)
        attr = node.append_attribute(key.c_str());
    attr.set_value(std::string(value).c_str());
}

void XmlNode::SetAttribute(std::string_view name, std::int32_t value)
{
    SetAttribute(name, std::to_string(value));
}

// ---- XmlDocument ----

XmlDocument::XmlDocument() = default;

void XmlDocument::LoadFromText(std::string_view text)
{
    doc_.reset();
    const pugi::xml_parse_result result = doc_.load_buffer(text.data(), text.size(), kParseOptions);
    if (!result) {
        doc_.reset();
        throw EXmlError(std::string(result.description()) + " at " + PositionOf(text, result.offset));
    }
    try {
        ValidateTree(doc_);
    } catch (...) {
        doc_.reset();
        throw;
    }
}

void XmlDocument::LoadFromFile(const fs::path& path)
{
    doc_.reset();
    LoadFromText(ReadFileText(path));
}

std::string XmlDocument::ReadFileText(const fs::path& path)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status))
        throw EXmlError("Cannot open file " + Quoted(path.string()) + ". " + std::strerror(EISDIR));
    // A pipe or device in place of a record would block the reader or never end.
    if (fs::exists(status) && !fs::is_regular_file(status))
        throw EXmlError("Cannot open file " + Quoted(path.string()) + ". Not a regular file");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EXmlError("Cannot open file " + Quoted(path.string()) + ". " +
                        std::strerror(errno ? errno : ENOENT));
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > kMaxFileSize)
        throw EXmlError("File too large: " + Quoted(path.string()));
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxFileSize)
            throw EXmlError("File too large: " + Quoted(path.string()));
    }
    if (in.bad())
        throw EXmlError("Cannot read file " + Quoted(path.string()));
    return text;
}

XmlNode XmlDocument::CreateDocumentElement(std::string_view name)
{
    CheckName(name, "element");
    doc_.reset();
    return XmlNode(doc_.append_child(std::string(name).c_str()));
}

XmlNode XmlDocument::DocumentElement() const
{
    return XmlNode(doc_.document_element());
}

std::string XmlDocument::SaveToText() const
{
    if (!doc_.document_element())
        throw EXmlError("No root element");
    TreeWriter writer;
    doc_.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return std::move(writer.out);
}

std::string XmlDocument::SaveToFile(const fs::path& path) const
{
    std::string text = SaveToText();
    try {
        WriteFileAtomically(path, text);
    } catch (const EFileWriteError& error) {
        throw EXmlError(error.Message());
    }
    return text;
}

} // namespace platform
