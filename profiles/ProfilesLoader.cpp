#include "ProfilesLoader.h"

#include "BrowsersList.h"
#include "CrashHandler.h"

#include <QThreadPool>
#include <QtConcurrent>

ProfilesLoader::ProfilesLoader(QObject* parent)
    : QObject(parent)
{
}

ProfilesLoader::~ProfilesLoader()
{
    waitForFinished();
}

void ProfilesLoader::start(BrowsersList* list, AppSettings* settings)
{
    if (running.exchange(true))
        return;
    future = QtConcurrent::run(QThreadPool::globalInstance(), [this, list, settings] {
        CrashHandler::prepareThread();
        load(list, settings);
    });
}

bool ProfilesLoader::isRunning() const
{
    return running.load();
}

void ProfilesLoader::waitForFinished()
{
    future.waitForFinished();
}

void ProfilesLoader::load(BrowsersList* list, AppSettings* settings)
{
    list->reloadAll();
    list->loadSettings(settings);
    // The tree shows counts and sizes: list the files here, off the GUI thread.
    list->loadDatabaseLists();
    // Cleared before the signal, so that its receiver may start again at once.
    running.exchange(false);
    emit finished();
}
