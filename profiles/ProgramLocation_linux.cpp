// Linux means for the program look-ups: executables on PATH stand in for the
// App Paths registry keys, XDG .desktop files for the Start Menu shortcuts and
// the icon theme for the shell's icons.
#include "ProgramLocation.h"

#include "RegularFile.h"

#include <QAbstractFileIconProvider>
#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

#include <dirent.h>

#include <unordered_set>
#include <vector>

namespace {

struct DesktopEntry
{
    QString file; // the .desktop file
    QString name; // its Name
    QString target; // the executable its Exec line starts, when it exists
    QString icon; // its Icon: a theme name or an absolute file
};

// Words of an Exec line, honouring the desktop-entry format's double-quote quoting.
QStringList execWords(const QString& exec)
{
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted && c == QLatin1Char('\\') && i + 1 < exec.size()) {
            word += exec.at(++i);
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inWord = true;
        } else if (c.isSpace() && !quoted) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

bool isAssignment(const QString& word)
{
    const qsizetype eq = word.indexOf(QLatin1Char('='));
    return eq > 0 && !word.left(eq).contains(QLatin1Char('/'));
}

// The program an Exec line starts. Launchers ("env VAR=1 prog", "flatpak run
// org.app.Id", "snap run prog") start another program, whose icon is not
// theirs: they and their options are passed over.
QString execProgram(const QString& exec)
{
    const QStringList words = execWords(exec);
    qsizetype i = 0;
    while (i < words.size()) {
        const QString& word = words.at(i);
        const QString base = QFileInfo(word).fileName();
        if (isAssignment(word)) {
            ++i;
        } else if (base == QLatin1String("env")) {
            ++i;
            // env's options; -u and -C take a value of their own.
            while (i < words.size() && words.at(i).startsWith(QLatin1Char('-'))) {
                const QString& option = words.at(i++);
                if ((option == QLatin1String("-u") || option == QLatin1String("-C")) && i < words.size())
                    ++i;
            }
        } else if ((base == QLatin1String("flatpak") || base == QLatin1String("snap")) && i + 1 < words.size()
                   && words.at(i + 1) == QLatin1String("run")) {
            i += 2;
            while (i < words.size() && words.at(i).startsWith(QLatin1Char('-')))
                ++i;
        } else {
            return word;
        }
    }
    return QString();
}

QString resolveExecutable(const QString& program)
{
    if (program.isEmpty())
        return QString();
    if (QFileInfo(program).isAbsolute())
        return QFileInfo::exists(program) ? program : QString();
    return QStandardPaths::findExecutable(program);
}

DesktopEntry readDesktopEntry(const QString& file)
{
    DesktopEntry entry;
    entry.file = file;
    QByteArray data;
    if (!RegularFile::readAll(file, data))
        return entry;
    bool inMainGroup = false;
    QString exec;
    for (const QByteArray& rawLine : data.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Name"))
            entry.name = value;
        else if (key == QLatin1String("Exec"))
            exec = value;
        else if (key == QLatin1String("Icon"))
            entry.icon = value;
    }
    entry.target = resolveExecutable(execProgram(exec));
    return entry;
}

// Every .desktop file, the user's folder first, read once per process.
const std::vector<DesktopEntry>& desktopEntries()
{
    static const std::vector<DesktopEntry> entries = [] {
        std::vector<DesktopEntry> result;
        const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
        for (const QString& folder : folders) {
            if (!QFileInfo(folder).isDir())
                continue;
            QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                result.push_back(readDesktopEntry(it.next()));
        }
        return result;
    }();
    return entries;
}

const DesktopEntry* entryForFile(const QString& file)
{
    for (const DesktopEntry& entry : desktopEntries()) {
        if (entry.file == file)
            return &entry;
    }
    return nullptr;
}

QIcon iconFromEntry(const DesktopEntry& entry)
{
    if (entry.icon.isEmpty())
        return QIcon();
    if (QFileInfo(entry.icon).isAbsolute())
        return QFileInfo::exists(entry.icon) ? QIcon(entry.icon) : QIcon();
    return QIcon::fromTheme(entry.icon);
}

// What the desktop shows for a program it has no icon for.
QIcon genericProgramIcon()
{
    const QIcon themed = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    if (!themed.isNull() || !qGuiApp)
        return themed;
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(70, 70, 70), 2));
    painter.setBrush(QColor(235, 235, 235));
    painter.drawRoundedRect(QRectF(3, 5, 26, 22), 3, 3);
    painter.fillRect(QRectF(4, 6, 24, 5), QColor(60, 110, 180));
    painter.end();
    return QIcon(pixmap);
}

} // namespace

// The folders of PATH as QStandardPaths::findExecutable walks them, each
// listed on first use. A folder that cannot be listed is probed name by name.
struct ProgramLookupScope::Index
{
    struct Folder
    {
        QString path;
        bool read = false;
        bool listed = false;
        std::unordered_set<std::string> names;
    };

    QByteArray pathVariable;
    std::vector<Folder> folders;

    explicit Index(const QByteArray& variable)
        : pathVariable(variable)
    {
        const QStringList raw = QString::fromLocal8Bit(variable).split(QDir::listSeparator(), Qt::SkipEmptyParts);
        for (const QString& entry : raw) {
            QString clean = QDir::cleanPath(entry);
            if (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
                clean.chop(1);
            Folder folder;
            folder.path = clean;
            folders.push_back(std::move(folder));
        }
    }

    static void list(Folder& folder)
    {
        folder.read = true;
        DIR* dir = ::opendir(QFile::encodeName(folder.path).constData());
        if (!dir)
            return;
        while (const dirent* entry = ::readdir(dir))
            folder.names.emplace(entry->d_name);
        ::closedir(dir);
        folder.listed = true;
    }

    // What findExecutable(program) answers, asking the disk only about
    // folders that hold the name (or could not be listed).
    QString find(const QString& program)
    {
        const std::string name = QFile::encodeName(program).toStdString();
        for (Folder& folder : folders) {
            if (!folder.read)
                list(folder);
            if (folder.listed && !folder.names.count(name))
                continue;
            const QString found = QStandardPaths::findExecutable(program, {folder.path});
            if (!found.isEmpty())
                return found;
        }
        return QString();
    }
};

namespace {

thread_local ProgramLookupScope::Index* activeIndex = nullptr;

} // namespace

ProgramLookupScope::ProgramLookupScope()
    : previous(activeIndex)
{
    // Without PATH, findExecutable falls back to a default list: leave that to it.
    const QByteArray variable = qgetenv("PATH");
    if (variable.isNull())
        return;
    index = std::make_unique<Index>(variable);
    activeIndex = index.get();
}

ProgramLookupScope::~ProgramLookupScope()
{
    if (index)
        activeIndex = previous;
}

QString findInAppPaths(const QString& appName)
{
    QString program = appName;
    if (program.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        program.chop(4);
    if (program.isEmpty())
        return QString();
    // A name with a folder in it, or a PATH changed since the listing, goes
    // the long way.
    if (activeIndex && !program.contains(QLatin1Char('/')) && qgetenv("PATH") == activeIndex->pathVariable)
        return activeIndex->find(program);
    return QStandardPaths::findExecutable(program);
}

const QHash<QString, QString>& buildShortcutIndex()
{
    static const QHash<QString, QString> index = [] {
        QHash<QString, QString> result;
        // Windows names shortcuts after the program ("Google Chrome"); desktop
        // files carry that in Name, their file name is an id ("google-chrome").
        for (const DesktopEntry& entry : desktopEntries()) {
            const QString id = QFileInfo(entry.file).completeBaseName().toLower();
            for (const QString& key : {id, entry.name.toLower()}) {
                if (!key.isEmpty() && !result.contains(key))
                    result.insert(key, entry.file);
            }
        }
        return result;
    }();
    return index;
}

QString findInStartMenu(const QString& appName)
{
    const QString file = buildShortcutIndex().value(appName.toLower());
    if (file.isEmpty())
        return QString();
    const DesktopEntry* entry = entryForFile(file);
    if (entry && !entry->target.isEmpty())
        return entry->target;
    return file;
}

QIcon iconForPath(const QString& path)
{
    if (path.isEmpty())
        return QIcon();

    // A program started from a menu entry shows the entry's icon.
    for (const DesktopEntry& entry : desktopEntries()) {
        if (entry.file == path || entry.target == path) {
            const QIcon icon = iconFromEntry(entry);
            if (!icon.isNull())
                return icon;
        }
    }

    QIcon icon = QIcon::fromTheme(QFileInfo(path).completeBaseName());
    if (icon.isNull()) {
        static QAbstractFileIconProvider provider;
        icon = provider.icon(QFileInfo(path));
    }
    return icon.isNull() ? genericProgramIcon() : icon;
}
