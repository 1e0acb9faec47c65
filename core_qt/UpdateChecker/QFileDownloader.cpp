#include "QFileDownloader.h"

#include "QFileDownloaderDefault.h"

QFileDownloader::QFileDownloader(const QString& url, QObject* parent, const QString& userAgent)
    : QObject(parent)
    , url(url)
    , userAgent(userAgent)
{
}

QFileDownloader* createFileDownloader(const QString& url, QObject* parent, const QString& userAgent)
{
    return new QFileDownloaderDefault(url, parent, userAgent);
}

QString updateTestCaFile()
{
    return qEnvironmentVariable("QUORBILAN_UPDATE_CA");
}

QString updateFeedUrlOverride()
{
    return qEnvironmentVariable("QUORBILAN_UPDATE_URL");
}

namespace {

int replacedMs(const char* variable, int normalMs)
{
    bool ok = false;
    const int replacement = qEnvironmentVariableIntValue(variable, &ok);
    return ok && replacement > 0 ? replacement : normalMs;
}

} // namespace

int updateTransferTimeoutMs(int normalMs)
{
    return replacedMs("QUORBILAN_UPDATE_TIMEOUT_MS", normalMs);
}

int updateDeadlineMs(int normalMs)
{
    return replacedMs("QUORBILAN_UPDATE_DEADLINE_MS", normalMs);
}
