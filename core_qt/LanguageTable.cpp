#include "LanguageTable.h"

#include "RegularFile.h"
#include "TextReplace.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QResource>

#include <tinyxml2.h>

QByteArray readResource(const QString& path)
{
    QResource resource(path, QLocale());
    if (!resource.isValid()) {
        qDebug().noquote() << "Unable to find " + path;
        return QByteArray();
    }
    // uncompressedData() knows every algorithm rcc may use; qUncompress
    // handles only zlib and gives nothing for the zstd that Debian's rcc picks.
    return resource.uncompressedData();
}

void ensureTrailingSeparator(QString& path)
{
    if (!path.endsWith(QDir::separator()))
        path += QDir::separator();
}

LanguageTable::LanguageTable(const QString& builtinResource)
    : builtinResource(builtinResource)
{
}

bool LanguageTable::load(const QString& name)
{
    strings.clear();

    const QByteArray builtin = readResource(builtinResource);
    const bool builtinLoaded = !builtin.isEmpty() && parseInto(builtin.constData(), size_t(builtin.size()));
    if (builtinLoaded)
        currentFile = QStringLiteral("English.xml");

    QString fileName = name;
    if (fileName.isEmpty())
        fileName = QLocale::languageToString(QLocale::system().language()) + ".xml";
    else if (fileName.size() > 4 && !fileName.endsWith(QLatin1String(".xml")))
        fileName += ".xml";

    if (name == QLatin1String("English.xml"))
        return builtinLoaded;

    QString path = QDir::toNativeSeparators(QFileInfo(QCoreApplication::applicationFilePath()).absolutePath());
    ensureTrailingSeparator(path);
    path += "languages";
    ensureTrailingSeparator(path);
    path += fileName;

    QByteArray data;
    if (!RegularFile::readAll(path, data))
        return false;
    if (!loadFileContent(data))
        return false;
    currentFile = fileName;
    return true;
}

bool LanguageTable::loadFileContent(const QByteArray& content)
{
    const QByteArray text = QString::fromUtf8(content).toUtf8();
    return parseInto(text.constData(), size_t(-1));
}

// Parses one LanguageStrings document into the table; false when it is not
// well-formed or has no root. A length of size_t(-1) reads up to the zero.
bool LanguageTable::parseInto(const char* data, size_t length)
{
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (doc.Parse(data, length) != tinyxml2::XML_SUCCESS)
        return false;
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!root)
        return false;
    loadElement(root, QString());
    return true;
}

void LanguageTable::loadElement(const tinyxml2::XMLElement* element, const QString& prefix)
{
    for (const tinyxml2::XMLElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
        const QString path = prefix + QString::fromUtf8(child->Name());
        if (child->FirstChildElement()) {
            loadElement(child, path + "/");
            continue;
        }
        const char* raw = child->GetText();
        const QString text = raw ? QString::fromUtf8(raw) : QString("");
        strings.insert(path, replacedAll(text, u"\\n", u"\n"));
    }
}

QString LanguageTable::translate(const QString& key) const
{
    const auto it = strings.constFind(key);
    return it == strings.constEnd() ? key : *it;
}

bool LanguageTable::tryTranslate(const QString& key, QString& text) const
{
    const auto it = strings.constFind(key);
    if (it == strings.constEnd())
        return false;
    text = *it;
    return true;
}

QString LanguageTable::currentLanguageName() const
{
    return currentFile.left(qMax(qsizetype(0), currentFile.size() - 4));
}
