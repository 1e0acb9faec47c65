#include "ProfileTreeItem.h"

#include "BrowserProfile.h"
#include "VisibleText.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QStyle>

QIcon folderIcon()
{
    static const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    return icon;
}

ProfileTreeItem::ProfileTreeItem(QTreeWidgetItem* parent, BrowserProfile* profile)
    : QTreeWidgetItem(parent)
    , profile(profile)
{
    setFlags(flags() | Qt::ItemIsUserCheckable);
    setCheckState(0, profile->selected ? Qt::Checked : Qt::Unchecked);
    setText(0, profile->displayName());
    setIcon(0, folderIcon());
    setText(1, visibleText(QDir::toNativeSeparators(profile->path)));
    updateColumns();
}

ProfileTreeItem::~ProfileTreeItem() = default;

void ProfileTreeItem::updateColumns()
{
    // The list was read once by the loader; the sizes change with every run.
    const qsizetype count = profile->databases().size();
    setText(2, count > 0 ? QString::number(count) : QString("-"));
    setText(3, count > 0 ? QLocale().formattedDataSize(profile->totalSize(), 1, QLocale::DataSizeTraditionalFormat)
                         : QString("-"));
    setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
}
