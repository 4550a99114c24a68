#include "config/XmlDocument.h"

#include "base/NameCompare.h"

#include <algorithm>

namespace dravik {

const TXmlNode* TXmlNode::FindChild(std::string_view name) const {
    const auto found = std::find_if(Children.rbegin(), Children.rend(), [&](const TXmlNode& c) {
        return c.Kind == TXmlNodeKind::Element && SameNameIgnoringCase(c.Name, name);
    });
    return found == Children.rend() ? nullptr : &*found;
}

const TXmlAttribute* TXmlNode::FindAttribute(std::string_view name) const {
    const auto found =
        std::find_if(Attributes.rbegin(), Attributes.rend(),
                     [&](const TXmlAttribute& a) { return SameNameIgnoringCase(a.Name, name); });
    return found == Attributes.rend() ? nullptr : &*found;
}

TXmlNode& TXmlNode::AddElement(std::string name) {
    TXmlNode& child = Children.emplace_back();
    child.Name = std::move(name);
    return child;
}

void TXmlNode::AddAttribute(std::string name, std::string value) {
    Attributes.push_back({std::move(name), std::move(value)});
}

const TXmlNode* TXmlDocument::DocumentElement() const {
    for (const TXmlNode& child : Root.Children) {
        if (child.Kind == TXmlNodeKind::Element) {
            return &child;
        }
    }
    return nullptr;
}

} // namespace dravik
