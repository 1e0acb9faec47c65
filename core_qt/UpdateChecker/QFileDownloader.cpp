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

int updateTransferTimeoutMs(int normalMs)
{
    bool ok = false;
    const int replacement = qEnvironmentVariableIntValue("QUORBILAN_UPDATE_TIMEOUT_MS", &ok);
    return ok && replacement > 0 ? replacement : normalMs;
}
