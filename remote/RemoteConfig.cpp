#include "remote/RemoteConfig.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSet>

#include <cmath>

namespace tervalo::remote {

namespace {

constexpr qint64 kLargestFile = 64 * 1024;
constexpr int kLongestName = 64;
constexpr int kLongestCode = 256;

struct Checker {
    ConfigError *why;
    bool fail(const QString &key, const QString &reason)
    {
        why->key = key;
        why->reason = reason;
        return false;
    }
};

bool onlyKeys(const QJsonObject &o, const QStringList &allowed, const QString &prefix, Checker &c)
{
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!allowed.contains(it.key()))
            return c.fail(prefix + it.key(), QStringLiteral("unknown key"));
    return true;
}

bool readCode(const QJsonValue &v, const QString &key, QByteArray &out, Checker &c)
{
    if (!v.isString())
        return c.fail(key, QStringLiteral("not a text"));
    const QString s = v.toString();
    if (s.size() < RemoteConfig::kShortestCode)
        return c.fail(key, QStringLiteral("shorter than %1 characters").arg(RemoteConfig::kShortestCode));
    if (s.size() > kLongestCode)
        return c.fail(key, QStringLiteral("longer than %1 characters").arg(kLongestCode));
    for (QChar ch : s)
        if (ch.unicode() <= 32 || ch.unicode() >= 127)
            return c.fail(key, QStringLiteral("only printable ASCII characters without spaces"));
    out = s.toLatin1();
    return true;
}

bool readPerson(const QJsonValue &v, const QString &key, Role role, Person &out, Checker &c)
{
    if (!v.isObject())
        return c.fail(key, QStringLiteral("not an object"));
    const QJsonObject o = v.toObject();
    if (!onlyKeys(o, {QStringLiteral("name"), QStringLiteral("code")}, key + QLatin1Char('.'), c))
        return false;
    for (const char *k : {"name", "code"})
        if (!o.contains(QLatin1String(k)))
            return c.fail(key + QLatin1Char('.') + QLatin1String(k), QStringLiteral("missing"));
    const QJsonValue name = o.value(QLatin1String("name"));
    if (!name.isString())
        return c.fail(key + QStringLiteral(".name"), QStringLiteral("not a text"));
    out.name = name.toString().trimmed();
    if (out.name.isEmpty())
        return c.fail(key + QStringLiteral(".name"), QStringLiteral("empty"));
    if (out.name.size() > kLongestName)
        return c.fail(key + QStringLiteral(".name"), QStringLiteral("longer than %1 characters").arg(kLongestName));
    out.role = role;
    return readCode(o.value(QLatin1String("code")), key + QStringLiteral(".code"), out.code, c);
}

bool readMinutes(const QJsonObject &o, const char *key, std::chrono::milliseconds &out, Checker &c)
{
    if (!o.contains(QLatin1String(key)))
        return true;
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return c.fail(QLatin1String(key), QStringLiteral("not a number"));
    const double m = v.toDouble();
    if (!(m >= 0.1 && m <= 600))
        return c.fail(QLatin1String(key), QStringLiteral("%1 is outside 0.1..600").arg(m));
    out = std::chrono::milliseconds(static_cast<qint64>(std::llround(m * 60000.0)));
    return true;
}

} // namespace

QByteArray RemoteConfig::randomCode()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
}

RemoteConfig RemoteConfig::generated()
{
    RemoteConfig c;
    c.viewerCode = randomCode();
    c.people.push_back(Person{QStringLiteral("driver"), randomCode(), Role::Student});
    return c;
}

bool parseRemoteConfig(const QByteArray &contents, RemoteConfig &out, ConfigError &why)
{
    Checker c{&why};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(contents, &error);
    if (error.error != QJsonParseError::NoError)
        return c.fail(QString(), QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset));
    if (!doc.isObject())
        return c.fail(QString(), QStringLiteral("not a JSON object"));
    const QJsonObject o = doc.object();
    if (!onlyKeys(o,
                  {QStringLiteral("format"), QStringLiteral("version"), QStringLiteral("viewing"),
                   QStringLiteral("viewerCode"), QStringLiteral("instructor"), QStringLiteral("students"),
                   QStringLiteral("slotMinutes"), QStringLiteral("longestRunMinutes"), QStringLiteral("modes"),
                   QStringLiteral("origins"), QStringLiteral("connections")},
                  QString(), c))
        return false;
    if (o.value(QLatin1String("format")) != QJsonValue(QLatin1String(RemoteConfig::kFormat)))
        return c.fail(QStringLiteral("format"), QStringLiteral("not \"%1\"").arg(QLatin1String(RemoteConfig::kFormat)));
    if (o.value(QLatin1String("version")) != QJsonValue(RemoteConfig::kVersion))
        return c.fail(QStringLiteral("version"),
                      QStringLiteral("this program reads version %1").arg(RemoteConfig::kVersion));

    RemoteConfig r;
    r.modes.clear();
    const QJsonValue viewing = o.value(QLatin1String("viewing"));
    if (viewing.isUndefined())
        return c.fail(QStringLiteral("viewing"), QStringLiteral("missing"));
    if (viewing == QJsonValue(QLatin1String("open")))
        r.openViewing = true;
    else if (viewing != QJsonValue(QLatin1String("code")))
        return c.fail(QStringLiteral("viewing"), QStringLiteral("neither \"code\" nor \"open\""));
    if (o.contains(QLatin1String("viewerCode"))) {
        if (r.openViewing)
            return c.fail(QStringLiteral("viewerCode"), QStringLiteral("not wanted with \"viewing\": \"open\""));
        if (!readCode(o.value(QLatin1String("viewerCode")), QStringLiteral("viewerCode"), r.viewerCode, c))
            return false;
    } else if (!r.openViewing) {
        return c.fail(QStringLiteral("viewerCode"), QStringLiteral("missing"));
    }

    if (o.contains(QLatin1String("instructor"))) {
        Person p;
        if (!readPerson(o.value(QLatin1String("instructor")), QStringLiteral("instructor"), Role::Instructor, p, c))
            return false;
        r.people.push_back(p);
    }
    const QJsonValue students = o.value(QLatin1String("students"));
    if (students.isUndefined())
        return c.fail(QStringLiteral("students"), QStringLiteral("missing"));
    if (!students.isArray())
        return c.fail(QStringLiteral("students"), QStringLiteral("not a list"));
    const QJsonArray list = students.toArray();
    if (list.size() > 1000)
        return c.fail(QStringLiteral("students"), QStringLiteral("more than 1000 students"));
    for (int i = 0; i < list.size(); ++i) {
        Person p;
        if (!readPerson(list.at(i), QStringLiteral("students[%1]").arg(i), Role::Student, p, c))
            return false;
        r.people.push_back(p);
    }
    // No two people with one name or one code; the viewer code is no one's.
    QSet<QString> names;
    QSet<QByteArray> codes;
    if (!r.viewerCode.isEmpty())
        codes.insert(r.viewerCode);
    const bool hasInstructor = o.contains(QLatin1String("instructor"));
    for (std::size_t i = 0; i < r.people.size(); ++i) {
        const QString key = hasInstructor && i == 0 ? QStringLiteral("instructor")
                                                    : QStringLiteral("students[%1]").arg(i - (hasInstructor ? 1 : 0));
        if (names.contains(r.people[i].name))
            return c.fail(key + QStringLiteral(".name"), QStringLiteral("a name given twice"));
        if (codes.contains(r.people[i].code))
            return c.fail(key + QStringLiteral(".code"), QStringLiteral("a code given twice"));
        names.insert(r.people[i].name);
        codes.insert(r.people[i].code);
    }

    if (!readMinutes(o, "slotMinutes", r.slot, c) || !readMinutes(o, "longestRunMinutes", r.longestRun, c))
        return false;
    if (o.contains(QLatin1String("modes"))) {
        const QJsonValue modes = o.value(QLatin1String("modes"));
        if (!modes.isArray())
            return c.fail(QStringLiteral("modes"), QStringLiteral("not a list"));
        const QJsonArray m = modes.toArray();
        if (m.isEmpty())
            return c.fail(QStringLiteral("modes"), QStringLiteral("empty"));
        for (int i = 0; i < m.size(); ++i) {
            const QString name = m.at(i).toString();
            if (name != QLatin1String("simulation") && name != QLatin1String("kit") && name != QLatin1String("open"))
                return c.fail(QStringLiteral("modes[%1]").arg(i),
                              QStringLiteral("neither \"simulation\", \"kit\" nor \"open\""));
            if (!r.modes.contains(name))
                r.modes.push_back(name);
        }
    } else {
        r.modes = RemoteConfig().modes;
    }
    if (o.contains(QLatin1String("origins"))) {
        const QJsonValue origins = o.value(QLatin1String("origins"));
        if (!origins.isArray())
            return c.fail(QStringLiteral("origins"), QStringLiteral("not a list"));
        const QJsonArray a = origins.toArray();
        for (int i = 0; i < a.size(); ++i) {
            const QString s = a.at(i).toString();
            if (!s.startsWith(QLatin1String("http://")) && !s.startsWith(QLatin1String("https://")))
                return c.fail(QStringLiteral("origins[%1]").arg(i),
                              QStringLiteral("not an http:// or https:// origin"));
            r.origins.push_back(s);
        }
    }
    if (o.contains(QLatin1String("connections"))) {
        const QJsonValue v = o.value(QLatin1String("connections"));
        const double n = v.toDouble(-1);
        if (!v.isDouble() || n != std::floor(n))
            return c.fail(QStringLiteral("connections"), QStringLiteral("not a whole number"));
        if (n < 1 || n > 4096)
            return c.fail(QStringLiteral("connections"), QStringLiteral("%1 is outside 1..4096").arg(n));
        r.connections = static_cast<int>(n);
    }
    out = r;
    return true;
}

bool readRemoteConfig(const QString &path, RemoteConfig &out, ConfigError &why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        why = ConfigError{QString(), path + QStringLiteral(": ") + f.errorString()};
        return false;
    }
    const QByteArray contents = f.read(kLargestFile + 1);
    if (contents.size() > kLargestFile) {
        why = ConfigError{QString(), path + QStringLiteral(": larger than 64 KiB")};
        return false;
    }
    return parseRemoteConfig(contents, out, why);
}

} // namespace tervalo::remote
