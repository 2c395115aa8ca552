#pragma once
// A home folder of its own for a test: HOME and XDG_CONFIG_HOME point into a
// temporary folder while it lives, so that the user's folders (documents,
// settings) the code under test finds or makes are the test's, and are put
// back when it ends.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <optional>

namespace tervalo::test {

class ScratchHome {
public:
    ScratchHome() : home_(save("HOME")), config_(save("XDG_CONFIG_HOME"))
    {
        qputenv("HOME", QFile::encodeName(dir_.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(QStringLiteral(".config"))));
    }
    ~ScratchHome()
    {
        restore("HOME", home_);
        restore("XDG_CONFIG_HOME", config_);
    }
    ScratchHome(const ScratchHome &) = delete;
    ScratchHome &operator=(const ScratchHome &) = delete;

    QString path() const { return dir_.path(); }
    // <home>/Documents/Tervalo: the experiment folder of this home
    QString experimentFolder() const { return dir_.filePath(QStringLiteral("Documents/Tervalo")); }

private:
    static std::optional<QByteArray> save(const char *name)
    {
        return qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt;
    }
    static void restore(const char *name, const std::optional<QByteArray> &value)
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }

    QTemporaryDir dir_;
    std::optional<QByteArray> home_, config_;
};

} // namespace tervalo::test
