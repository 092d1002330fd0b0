// The window's texts in the user's language. They are written in English; a
// Brazilian Portuguese translation is built in and serves every Portuguese locale.
#pragma once

#include <memory>

#include <QLocale>
#include <QTranslator>

namespace tavro::ui {

// The translation of the window's texts for `locale`, or null when the texts
// stay in English.
std::unique_ptr<QTranslator> windowTranslator(const QLocale& locale);

}  // namespace tavro::ui
