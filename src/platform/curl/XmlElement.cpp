#include "XmlElement.h"

#include <expat.h>

#include <memory>

/// Builds the tree from expat's events.
struct XmlBuilder
{
    static constexpr std::size_t depthLimit = 16; ///< the stores' answers are three or four levels deep

    XML_Parser parser = nullptr;
    XmlElement root;
    std::vector<XmlElement*> open; ///< the elements begun and not yet ended, innermost last
    bool seenRoot = false;
    bool refused = false;

    void stop()
    {
        refused = true;
        XML_StopParser(parser, XML_FALSE);
    }

    static void start(void* self, const XML_Char* name, const XML_Char**)
    {
        auto& builder = *static_cast<XmlBuilder*>(self);
        if (builder.open.size() >= depthLimit || (builder.open.empty() && builder.seenRoot)) {
            builder.stop();
            return;
        }
        XmlElement* element = nullptr;
        if (builder.open.empty()) {
            builder.seenRoot = true;
            element = &builder.root;
        } else {
            builder.open.back()->m_children.emplace_back();
            element = &builder.open.back()->m_children.back();
        }
        element->m_name = name;
        builder.open.push_back(element);
    }

    static void end(void* self, const XML_Char*)
    {
        auto& builder = *static_cast<XmlBuilder*>(self);
        if (!builder.open.empty())
            builder.open.pop_back();
    }

    static void characters(void* self, const XML_Char* text, int length)
    {
        auto& builder = *static_cast<XmlBuilder*>(self);
        if (!builder.open.empty())
            builder.open.back()->m_text.append(text, static_cast<std::size_t>(length));
    }

    /// A store has no use for a DOCTYPE; one is where entity tricks begin.
    static void doctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int)
    {
        static_cast<XmlBuilder*>(self)->stop();
    }
};

std::optional<XmlElement> XmlElement::parse(const std::string& text)
{
    struct ParserFree
    {
        void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
    };
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate("UTF-8"));
    if (!parser)
        return std::nullopt;
    XmlBuilder builder;
    builder.parser = parser.get();
    XML_SetUserData(parser.get(), &builder);
    XML_SetElementHandler(parser.get(), &XmlBuilder::start, &XmlBuilder::end);
    XML_SetCharacterDataHandler(parser.get(), &XmlBuilder::characters);
    XML_SetStartDoctypeDeclHandler(parser.get(), &XmlBuilder::doctype);
    // Pieces of at most 1 GiB: expat counts in int.
    std::size_t done = 0;
    do {
        const std::size_t piece = std::min<std::size_t>(text.size() - done, 1 << 30);
        const bool last = done + piece == text.size();
        if (XML_Parse(parser.get(), text.data() + done, static_cast<int>(piece), last ? XML_TRUE : XML_FALSE) !=
                XML_STATUS_OK ||
            builder.refused)
            return std::nullopt;
        done += piece;
    } while (done < text.size());
    if (!builder.seenRoot || !builder.open.empty())
        return std::nullopt;
    return std::move(builder.root);
}

std::string XmlElement::childText(const std::string& name) const
{
    const XmlElement* found = child(name);
    return found ? found->m_text : std::string();
}

const XmlElement* XmlElement::child(const std::string& name) const
{
    for (const XmlElement& element : m_children)
        if (element.m_name == name)
            return &element;
    return nullptr;
}
