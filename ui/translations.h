// The window's texts in the user's language. They are written in English; a
// Brazilian Portuguese translation is built in and serves every Portuguese
// locale, and an English one, holding only the plural forms of counts, every
// other. Qt's own texts come from the translations installed with Qt.
#pragma once

#include <memory>

#include <QLocale>
#include <QTranslator>

namespace tavro::ui {

// The translation of the window's texts for `locale`; null only when it
// cannot be loaded.
std::unique_ptr<QTranslator> windowTranslator(const QLocale& locale);

// Qt's own texts (the file dialog, the buttons of message boxes) for
// `locale`, from the translations installed with Qt; null when it has none.
// Every Portuguese locale gets the Brazilian ones, as the window's texts do.
std::unique_ptr<QTranslator> qtTranslator(const QLocale& locale);

}  // namespace tavro::ui
