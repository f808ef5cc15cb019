#include "platform/TQtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

std::unique_ptr<QTranslator>& TQtTranslations::Installed()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

bool TQtTranslations::Apply(bool russian)
{
    std::unique_ptr<QTranslator>& installed = Installed();
    if (!russian) {
        if (installed) {
            QCoreApplication::removeTranslator(installed.get());
            installed.reset();
        }
        return true;
    }
    if (installed)
        return true;
    auto translator = std::make_unique<QTranslator>();
    // qtbase carries the texts of the widgets and dialogs this program shows.
    if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    if (!QCoreApplication::installTranslator(translator.get()))
        return false;
    installed = std::move(translator);
    return true;
}
