#include "ui/application_language.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

#include "ui/dialog_font.h"

bool UseApplicationLanguage(QApplication& application) {
    QApplication::setFont(DialogFont(QApplication::font()));
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_zh_TW"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QApplication::installTranslator(translator);
}
