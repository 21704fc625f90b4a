#pragma once
// A camera's XML answer read into a flat list of its elements, in document
// order, by local name: cameras spell the same namespaces with every prefix
// there is, and some answer SOAP 1.1 where 1.2 was asked. The answer comes
// from the network, so the reading is bounded (elements, text, depth) and
// refuses document type declarations, which no SOAP message may carry.
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace qmd {

struct XmlElement {
    QString Name;        // local name, without the prefix
    QString Token;       // the attribute "token" (ONVIF's names of profiles)
    QString Text;        // the element's own character data, trimmed
    int Parent = -1;     // index of the enclosing element, -1 for the root
    int End = 0;         // one past the index of its last descendant
};

class XmlElements {
public:
    // None when the text is not well-formed XML, carries a DTD, or is larger
    // than the limits (more than 20000 elements, 64 KiB of text in one
    // element, 64 levels deep).
    static std::optional<XmlElements> Read(QByteArrayView xml);

    const std::vector<XmlElement>& All() const { return Elements; }
    // The index of the first element named `name` within `scope` (an index;
    // -1 for the whole document), searching descendants at any depth.
    int Find(QStringView name, int scope = -1) const;
    // The indices of all elements named `name` within `scope`.
    std::vector<int> FindAll(QStringView name, int scope = -1) const;
    // The text of the first element named `name` within `scope`; empty when
    // there is none.
    QString TextOf(QStringView name, int scope = -1) const;
    const XmlElement& operator[](int index) const { return Elements[static_cast<std::size_t>(index)]; }

private:
    // The indices [first, last) of the descendants of `scope`.
    std::pair<int, int> Range(int scope) const;

    std::vector<XmlElement> Elements;
};

// An answer, read, and the index of its first element named as asked.
struct XmlAnswer {
    XmlElements Xml;
    int At = -1;
};
// None when the answer cannot be read or holds no element of that name.
std::optional<XmlAnswer> ReadAnswer(QByteArrayView xml, QStringView name);

}  // namespace qmd
