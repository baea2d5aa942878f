#include "base/translate.h"

namespace {
Translator &current()
{
    static Translator translator;
    return translator;
}
} // namespace

QString T(const QString &key)
{
    const Translator &translator = current();
    return translator ? translator(key) : key;
}

void SetTranslator(Translator translator)
{
    current() = std::move(translator);
}
