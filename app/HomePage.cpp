#include "HomePage.h"

#include <QDesktopServices>
#include <QUrl>

QString homePageAddress()
{
    return QStringLiteral("https://www.tulverhaven.example/quorbilan?ref=") + QStringLiteral("quorbilan");
}

void openHomePage()
{
    QDesktopServices::openUrl(QUrl(homePageAddress(), QUrl::TolerantMode));
}
