#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

namespace TestSupport {

// Set as the handler of a URL scheme (QDesktopServices::setUrlHandler with
// "openUrl"), it receives what the desktop would otherwise open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void openUrl(const QUrl& url) { opened << url; }
};

} // namespace TestSupport
