#include "translations.h"

#include <QLibraryInfo>
#include <QString>

namespace tavro::ui {

std::unique_ptr<QTranslator> windowTranslator(const QLocale& locale) {
    // Every other language reads the English texts, with their plural forms.
    const QString file = locale.language() == QLocale::Portuguese ? QStringLiteral(":/i18n/tavro-conversor_pt_BR.qm")
                                                                  : QStringLiteral(":/i18n/tavro-conversor_en.qm");
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(file)) return nullptr;
    return translator;
}

std::unique_ptr<QTranslator> qtTranslator(const QLocale& locale) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) return translator;
    if (locale.language() == QLocale::Portuguese &&
        translator->load(QLocale(QLocale::Portuguese, QLocale::Brazil), QStringLiteral("qtbase"), QStringLiteral("_"),
                         folder))
        return translator;
    return nullptr;
}

}  // namespace tavro::ui
