#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace tinyxml2 {
class XMLElement;
}

// The bytes of a Qt resource, whatever compression rcc chose; empty when the
// resource is missing.
QByteArray readResource(const QString& path);

// Appends the native separator unless the path already ends with it.
void ensureTrailingSeparator(QString& path);

// UI texts by slash-separated key path ("core/QMessageBoxEx/buttonOK"): the
// built-in English strings, overridden key by key by a file from the
// "languages" folder beside the executable.
class LanguageTable
{
public:
    explicit LanguageTable(const QString& builtinResource);

    // Built-in texts first, then the named file's; true when the asked-for
    // language's texts are in the table.
    bool load(const QString& name);
    // Adds the texts of a language file's bytes, as load() does with the
    // file; false when they are not a well-formed document with a root.
    bool loadFileContent(const QByteArray& content);
    QString translate(const QString& key) const;
    bool tryTranslate(const QString& key, QString& text) const;
    QString currentLanguageName() const;

private:
    bool parseInto(const char* data, size_t length);
    void loadElement(const tinyxml2::XMLElement* element, const QString& prefix);

    QHash<QString, QString> strings;
    QString currentFile;
    QString builtinResource;
};
