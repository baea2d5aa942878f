#pragma once
#include <QHash>
#include <QString>
#include <QStringList>

// The translation table. Keys are looked up exactly as written (case and
// blanks count); the first label with a name wins; the text for language i
// is the (i+1)-th <trans> of that label. Missing labels, missing or empty
// translations and language indexes out of range all give the key itself.
//
// Languages: 0 English, 1 Francais, 2 Polski.
//
// Once a language is selected the table serves T() (base/translate.h) until
// it is destroyed. UI thread only; the file is read once, at construction.
class TLanguage
{
public:
    static constexpr int English = 0;
    static constexpr int French = 1;
    static constexpr int Polish = 2;

    // Loads path (relative paths resolve against the working directory). A
    // file that cannot be loaded leaves the table empty: every key shows as
    // itself, and LoadError() holds a message naming the file (with line and
    // column for XML errors) for the caller to show.
    explicit TLanguage(const QString &path = QStringLiteral("translations.xml"));
    ~TLanguage();
    TLanguage(const TLanguage &) = delete;
    TLanguage &operator=(const TLanguage &) = delete;

    bool IsLoaded() const { return m_loaded; }
    QString LoadError() const { return m_loadError; }
    int LabelCount() const { return m_labelCount; }

    // Stores the index for later lookups and installs this table as T().
    void SelectLanguage(int index);
    int SelectedLanguage() const { return m_language; }

    // The translation, possibly empty; the key itself when no label has that name.
    QString Lookup(const QString &key) const;
    // The translation when it is non-empty, otherwise the key.
    QString Translate(const QString &key) const;

private:
    void load(const QString &path);

    // Label name -> its trans texts in document order, first label only.
    // Built once so a lookup does not walk the whole document.
    QHash<QString, QStringList> m_labels;
    int m_labelCount = 0;
    int m_language = English;
    bool m_loaded = false;
    QString m_loadError;
};
