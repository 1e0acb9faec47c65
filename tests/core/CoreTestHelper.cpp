// A second process for the framework tests: reads settings as a fresh start
// would, loads a language table, runs as a single-instance application, or
// holds a lock file.
#include "AppSettings.h"
#include "LanguageTable.h"
#include "QApplicationExSingle.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSocketNotifier>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

void printLine(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// settings list|int KEY: registers the key as a fresh run would and prints its value as JSON.
int readSetting(const QString& type, const QString& key)
{
    AppSettings settings("Quorbilan", "Tulverhaven Software");
    QJsonArray out;
    if (type == "list") {
        settings.registerValueStringList(key, {});
        out = QJsonArray::fromStringList(settings.valueStringList(key));
    } else if (type == "int") {
        settings.registerValueInt(key, -1);
        out.append(settings.valueInt(key));
    } else {
        return 2;
    }
    printLine(QJsonDocument(out).toJson(QJsonDocument::Compact));
    return 0;
}

// language NAME KEY...: prints the loaded language's name and the keys' texts.
int loadLanguage(const QString& name, const QStringList& keys)
{
    LanguageTable table(":/English.xml");
    table.load(name);
    QJsonObject texts;
    for (const QString& key : keys)
        texts.insert(key, table.translate(key));
    QJsonObject out{{"current", table.currentLanguageName()}, {"texts", texts}};
    printLine(QJsonDocument(out).toJson(QJsonDocument::Compact));
    return 0;
}

// single SERVER [ARGS...]: prints "running" and exits 3 when another instance
// answers; else prints "first", then "started N" for every later start, and
// "total N" when stdin closes.
int runSingle(int& argc, char** argv, const QString& serverName)
{
    QApplicationExSingle app(argc, argv, "Quorbilan", serverName);
    if (app.anotherInstanceRunning) {
        printLine("running");
        return 3;
    }
    printLine("first");
    int started = 0;
    QObject::connect(&app, &QApplicationExSingle::anotherInstanceStarted,
                     [&started] { printLine("started " + QByteArray::number(++started)); });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            app.quit();
        }
    });
    app.exec();
    printLine("total " + QByteArray::number(started));
    return 0;
}

// lock PATH: holds a lock file at PATH, prints "locked", and lets it go when
// stdin closes.
int holdLock(const QString& path)
{
    QLockFile lock(path);
    if (!lock.tryLock(0))
        return 1;
    printLine("locked");
    char buffer[256];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) { }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "single") == 0)
        return runSingle(argc, argv, QString::fromUtf8(argv[2]));

    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == "settings")
        return readSetting(args[2], args[3]);
    if (args.size() >= 3 && args[1] == "language")
        return loadLanguage(args[2], args.mid(3));
    if (args.size() == 3 && args[1] == "lock")
        return holdLock(args[2]);
    std::fprintf(stderr, "usage: %s settings list|int KEY | language NAME KEY... | single SERVER | lock PATH\n",
                 argv[0]);
    return 2;
}
