#include "store/JsonKeys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <vector>

namespace tervalo {

namespace {

struct Container {
    bool object = false;
    QString path;
    QSet<QString> keys;
    QString key; // the member whose value comes next
    int index = 0;
    bool expectKey = false;
};

// The text of the string token that starts at json[at] (a quote); at moves
// past its closing quote.
QString stringAt(const QByteArray &json, qsizetype &at)
{
    const qsizetype start = at;
    bool escaped = false;
    for (++at; at < json.size(); ++at) {
        if (json[at] == '\\') {
            escaped = true;
            ++at; // the escaped character
        } else if (json[at] == '"') {
            break;
        }
    }
    const QByteArray token = json.mid(start, at - start + 1);
    ++at;
    if (!escaped)
        return QString::fromUtf8(token.mid(1, token.size() - 2));
    return QJsonDocument::fromJson("[" + token + "]").array().at(0).toString();
}

QString member(const QString &path, const QString &key)
{
    return path.isEmpty() ? key : path + QLatin1Char('.') + key;
}

} // namespace

QString duplicateJsonKey(const QByteArray &json)
{
    std::vector<Container> open;
    // the path of a value that starts now
    const auto childPath = [&open]() -> QString {
        if (open.empty())
            return {};
        const Container &c = open.back();
        return c.object ? member(c.path, c.key) : c.path + QStringLiteral("[%1]").arg(c.index);
    };
    qsizetype at = 0;
    while (at < json.size()) {
        const char ch = json[at];
        switch (ch) {
        case '{':
        case '[': {
            Container c;
            c.object = ch == '{';
            c.path = childPath();
            c.expectKey = c.object;
            open.push_back(std::move(c));
            ++at;
            break;
        }
        case '}':
        case ']':
            if (!open.empty())
                open.pop_back();
            ++at;
            break;
        case ',':
            if (!open.empty()) {
                if (open.back().object)
                    open.back().expectKey = true;
                else
                    ++open.back().index;
            }
            ++at;
            break;
        case '"': {
            const QString text = stringAt(json, at);
            if (!open.empty() && open.back().object && open.back().expectKey) {
                Container &c = open.back();
                if (c.keys.contains(text))
                    return member(c.path, text);
                c.keys.insert(text);
                c.key = text;
                c.expectKey = false;
            }
            break;
        }
        default: // blanks, ':', numbers, true, false, null
            ++at;
            break;
        }
    }
    return {};
}

} // namespace tervalo
