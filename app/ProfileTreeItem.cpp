#include "ProfileTreeItem.h"

#include "BrowserProfile.h"
#include "QtHelpers.h"
#include "VisibleText.h"

#include <QApplication>
#include <QDir>
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
    setCheckState(ProfileColumn::Name, profile->selected ? Qt::Checked : Qt::Unchecked);
    setText(ProfileColumn::Name, profile->displayName());
    setIcon(ProfileColumn::Name, folderIcon());
    setText(ProfileColumn::Path, visibleText(QDir::toNativeSeparators(profile->path)));
    updateColumns();
}

ProfileTreeItem::~ProfileTreeItem() = default;

void ProfileTreeItem::updateColumns()
{
    // The list was read once by the loader; the sizes change with every run.
    const qsizetype count = profile->databases().size();
    setText(ProfileColumn::Databases, count > 0 ? QString::number(count) : QString("-"));
    setText(ProfileColumn::Size, count > 0 ? formatSize(profile->totalSize()) : QString("-"));
    setTextAlignment(ProfileColumn::Databases, Qt::AlignRight | Qt::AlignVCenter);
    setTextAlignment(ProfileColumn::Size, Qt::AlignRight | Qt::AlignVCenter);
}
