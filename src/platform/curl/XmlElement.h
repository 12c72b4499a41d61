#pragma once

#include <optional>
#include <string>
#include <vector>

/// An element of an XML answer of an object store (a listing, an error, a multipart upload), read whole with
/// expat: its name, its text, its child elements. Answers come from the network and are treated as hostile: a
/// document with a DOCTYPE (entities), deeper than a few levels or not well-formed is no answer at all.
class XmlElement
{
public:
    /// The root element of `text`; nothing when `text` is not such a document.
    static std::optional<XmlElement> parse(const std::string& text);

    const std::string& name() const { return m_name; }
    /// The text directly inside the element, the pieces between its children joined.
    const std::string& text() const { return m_text; }
    const std::vector<XmlElement>& children() const { return m_children; }
    /// The text of the first child called `name`; "" when there is none.
    std::string childText(const std::string& name) const;
    /// The first child called `name`; nullptr when there is none.
    const XmlElement* child(const std::string& name) const;

private:
    friend struct XmlBuilder;
    std::string m_name;
    std::string m_text;
    std::vector<XmlElement> m_children;
};
