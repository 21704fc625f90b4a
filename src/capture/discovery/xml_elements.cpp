#include "xml_elements.h"

#include <QXmlStreamReader>

namespace qmd {

namespace {

constexpr std::size_t kMaxElements = 20000;
constexpr qsizetype kMaxText = 64 * 1024;
constexpr std::size_t kMaxDepth = 64;

}  // namespace

std::optional<XmlElements> XmlElements::Read(QByteArrayView xml)
{
    QXmlStreamReader reader(QByteArray::fromRawData(xml.data(), xml.size()));
    XmlElements result;
    std::vector<int> open;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            return std::nullopt;
        case QXmlStreamReader::StartElement: {
            if (result.Elements.size() >= kMaxElements || open.size() >= kMaxDepth) return std::nullopt;
            XmlElement element;
            element.Name = reader.name().toString();
            element.Token = reader.attributes().value(QLatin1String("token")).toString();
            element.Parent = open.empty() ? -1 : open.back();
            open.push_back(static_cast<int>(result.Elements.size()));
            result.Elements.push_back(std::move(element));
            break;
        }
        case QXmlStreamReader::EndElement:
            if (!open.empty()) {
                XmlElement& element = result.Elements[static_cast<std::size_t>(open.back())];
                element.Text = element.Text.trimmed();
                element.End = static_cast<int>(result.Elements.size());
                open.pop_back();
            }
            break;
        case QXmlStreamReader::Characters:
            if (!open.empty()) {
                QString& text = result.Elements[static_cast<std::size_t>(open.back())].Text;
                if (text.size() + reader.text().size() > kMaxText) return std::nullopt;
                text += reader.text();
            }
            break;
        default:
            break;
        }
    }
    if (reader.hasError() || result.Elements.empty()) return std::nullopt;
    return result;
}

std::pair<int, int> XmlElements::Range(int scope) const
{
    if (scope < 0) return {0, static_cast<int>(Elements.size())};
    return {scope + 1, Elements[static_cast<std::size_t>(scope)].End};
}

int XmlElements::Find(QStringView name, int scope) const
{
    const auto [begin, end] = Range(scope);
    for (int i = begin; i < end; ++i) {
        if (Elements[static_cast<std::size_t>(i)].Name == name) return i;
    }
    return -1;
}

std::vector<int> XmlElements::FindAll(QStringView name, int scope) const
{
    std::vector<int> found;
    const auto [begin, end] = Range(scope);
    for (int i = begin; i < end; ++i) {
        if (Elements[static_cast<std::size_t>(i)].Name == name) found.push_back(i);
    }
    return found;
}

QString XmlElements::TextOf(QStringView name, int scope) const
{
    const int index = Find(name, scope);
    return index < 0 ? QString() : Elements[static_cast<std::size_t>(index)].Text;
}

std::optional<XmlAnswer> ReadAnswer(QByteArrayView xml, QStringView name)
{
    auto elements = XmlElements::Read(xml);
    if (!elements) return std::nullopt;
    const int at = elements->Find(name);
    if (at < 0) return std::nullopt;
    return XmlAnswer{std::move(*elements), at};
}

}  // namespace qmd
