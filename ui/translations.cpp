#include "translations.h"

#include <QString>

namespace tavro::ui {

std::unique_ptr<QTranslator> windowTranslator(const QLocale& locale) {
    if (locale.language() != QLocale::Portuguese) return nullptr;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral(":/i18n/tavro-conversor_pt_BR.qm"))) return nullptr;
    return translator;
}

}  // namespace tavro::ui
