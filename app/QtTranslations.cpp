#include "app/QtTranslations.h"

#include "session/Lab.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace tervalo {

namespace {

// Qt's Turkish texts while they are installed.
std::unique_ptr<QTranslator> &installed()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

} // namespace

bool QtTranslations::useTurkish(bool turkish)
{
    std::unique_ptr<QTranslator> &current = installed();
    if (!turkish) {
        if (current) {
            QCoreApplication::removeTranslator(current.get());
            current.reset();
        }
        return true;
    }
    if (current)
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(QLocale::Turkish, QLocale::Turkey), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    current = std::move(translator);
    return true;
}

void QtTranslations::follow(Lab &lab)
{
    QObject::connect(&lab, &Lab::languageChanged, &lab, [](bool english) { useTurkish(!english); });
}

} // namespace tervalo
