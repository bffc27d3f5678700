#include "ui/application_language.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

#include "text/message_catalogue.h"
#include "ui/dialog_font.h"

namespace {

// Gives the catalogue's translations to whatever asks Qt for one, as the code uic makes from
// the dialog templates does. Qt's own texts (contexts QFileDialog, QPlatformTheme, ...) are
// left to Qt's translations.
class CatalogueTranslator final : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override {
        if (sourceText == nullptr || (context != nullptr && context[0] == 'Q')) return {};
        const char* translation = Translated(sourceText);
        return translation == sourceText ? QString() : QString::fromUtf8(translation);
    }

    [[nodiscard]] bool isEmpty() const override { return false; }
};

// Qt's translations for a language, replacing those of an earlier call; English is Qt's own.
bool UseQtLanguage(QApplication& application, MessageLanguage language) {
    static QTranslator* installed = nullptr;
    if (installed != nullptr) {
        (void)QApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    if (language == MessageLanguage::English) return true;
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_zh_TW"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    installed = translator;
    return QApplication::installTranslator(translator);
}

}  // namespace

bool UseApplicationLanguage(QApplication& application, MessageLanguage language,
                            const std::filesystem::path& localeFolder) {
    const bool catalogue = UseMessageLanguage(language, localeFolder);
    QApplication::setFont(DialogFont(QApplication::font()));
    static bool catalogueTranslatorInstalled = false;
    if (!catalogueTranslatorInstalled)
        catalogueTranslatorInstalled = QApplication::installTranslator(new CatalogueTranslator(&application));
    const bool qt = UseQtLanguage(application, language);
    return catalogue && qt;
}

bool UseApplicationLanguage(QApplication& application) {
    return UseApplicationLanguage(application, MessageLanguageOfEnvironment(), InstalledLocaleFolder());
}

QString UiText(const char* text) {
    return QString::fromUtf8(Translated(text));
}
