#pragma once
#include <QString>
#include <functional>

// T(key): the translation of key in the selected language, or key itself
// when there is no table yet (early start-up) or the table has no entry.
QString T(const QString &key);

using Translator = std::function<QString(const QString &key)>;
// Installed by the translation table; an empty translator removes it.
void SetTranslator(Translator translator);
