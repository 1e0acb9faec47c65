#include "QtHelpers.h"

#include "AppSettings.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLocale>
#include <QMainWindow>
#include <QUrl>

namespace {

const char keyWindowGeometry[] = "WindowGeometry";
const char keyWindowState[] = "WindowState";

} // namespace

void openFolder(const QString& folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void showInExplorer(const QString& path, bool openFolderIfMissing)
{
    if (QFileInfo::exists(path))
        selectInFileManager(path);
    else if (openFolderIfMissing)
        openFolder(QFileInfo(path).path());
}

QIcon appIcon()
{
    // Made under the static's one-time initialisation; when nothing loaded the
    // next call tries again (GUI thread only from then on).
    static QIcon icon = loadAppIcon();
    if (icon.isNull())
        icon = loadAppIcon();
    return icon;
}

QString formatSize(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

void decreaseFontSize(QWidget* widget, double points)
{
    if (!widget)
        return;
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() - points);
    widget->setFont(font);
}

void padButtonText(QAbstractButton* button)
{
    const QString text = button->text();
    if (text.startsWith(' '))
        return;
    const int textWidth = QFontMetrics(button->font()).boundingRect(text.trimmed()).width();
    if (button->width() - textWidth < 20) {
        button->setText(QString(" %1 ").arg(text));
        button->adjustSize();
    }
}

bool restoreWindowState(QMainWindow* window, AppSettings* settings)
{
    settings->registerValueByteArray(keyWindowGeometry, QByteArray());
    settings->registerValueByteArray(keyWindowState, QByteArray());
    const QByteArray geometry = settings->valueByteArray(keyWindowGeometry);
    const QByteArray state = settings->valueByteArray(keyWindowState);
    if (!window->restoreGeometry(geometry))
        return false;
    return window->restoreState(state, 0);
}

void saveWindowState(QMainWindow* window, AppSettings* settings)
{
    settings->setValueByteArray(keyWindowGeometry, window->saveGeometry());
    settings->setValueByteArray(keyWindowState, window->saveState(0));
}
