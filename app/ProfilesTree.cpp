#include "ProfilesTree.h"

#include "Browser.h"
#include "BrowserProfile.h"
#include "BrowsersList.h"
#include "PathItemDelegate.h"
#include "ProfileTreeItem.h"
#include "QtHelpers.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

ProfilesTree::ProfilesTree(QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(ProfileColumn::Count);
    setHeaderLabels({"Name", "Path", "Databases", "Size"});
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(ProfileColumn::Name, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(ProfileColumn::Path, QHeaderView::Stretch);
    header()->setSectionResizeMode(ProfileColumn::Databases, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(ProfileColumn::Size, QHeaderView::ResizeToContents);
    setItemDelegateForColumn(ProfileColumn::Path, new PathItemDelegate(this));
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAcceptDrops(true);
    connect(this, &QTreeWidget::itemChanged, this, &ProfilesTree::slotItemChanged);
}

ProfilesTree::~ProfilesTree() = default;

template <typename Visit>
void ProfilesTree::forEachProfileItem(Visit visit) const
{
    for (int top = 0; top < topLevelItemCount(); ++top) {
        QTreeWidgetItem* group = topLevelItem(top);
        for (int row = 0; row < group->childCount(); ++row) {
            if (auto* item = dynamic_cast<ProfileTreeItem*>(group->child(row)))
                visit(item);
        }
    }
}

QTreeWidgetItem* ProfilesTree::addGroup(const QString& name, const QIcon& icon)
{
    auto* group = new QTreeWidgetItem(this);
    group->setText(ProfileColumn::Name, name);
    group->setIcon(ProfileColumn::Name, icon);
    group->setFlags(group->flags() | Qt::ItemIsUserCheckable);
    QFont font = group->font(ProfileColumn::Name);
    font.setWeight(QFont::Bold);
    group->setFont(ProfileColumn::Name, font);
    return group;
}

void ProfilesTree::populate(BrowsersList* list)
{
    updating = true;
    clear();
    customRoot = nullptr;

    for (Browser* browser : list->browsersWithProfiles()) {
        QTreeWidgetItem* group = addGroup(browser->name(), browser->icon());
        for (const auto& profile : browser->profiles())
            new ProfileTreeItem(group, profile.get());
        updateParentCheckState(group);
    }
    if (!list->customProfiles().empty()) {
        customRoot = addGroup("Custom profiles", folderIcon());
        for (const auto& profile : list->customProfiles())
            new ProfileTreeItem(customRoot, profile.get());
        updateParentCheckState(customRoot);
    }

    expandAll();
    updating = false;
    emit checkedCountChanged(checkedCount());
}

void ProfilesTree::storeCheckStates()
{
    forEachProfileItem(
        [](ProfileTreeItem* item) { item->profile->selected = item->checkState(ProfileColumn::Name) == Qt::Checked; });
}

int ProfilesTree::checkedCount() const
{
    int count = 0;
    forEachProfileItem([&count](ProfileTreeItem* item) {
        if (item->checkState(ProfileColumn::Name) == Qt::Checked)
            ++count;
    });
    return count;
}

std::vector<BrowserProfile*> ProfilesTree::checkedProfiles() const
{
    std::vector<BrowserProfile*> profiles;
    forEachProfileItem([&profiles](ProfileTreeItem* item) {
        if (item->checkState(ProfileColumn::Name) == Qt::Checked)
            profiles.push_back(item->profile);
    });
    return profiles;
}

void ProfilesTree::refreshSizes()
{
    updating = true;
    forEachProfileItem([](ProfileTreeItem* item) { item->updateColumns(); });
    updating = false;
}

void ProfilesTree::selectProfile(BrowserProfile* profile)
{
    if (!profile)
        return;
    ProfileTreeItem* found = nullptr;
    forEachProfileItem([&](ProfileTreeItem* item) {
        if (!found && item->profile == profile)
            found = item;
    });
    if (found) {
        setCurrentItem(found);
        scrollToItem(found, QAbstractItemView::EnsureVisible);
    }
}

void ProfilesTree::updateParentCheckState(QTreeWidgetItem* group)
{
    const int children = group->childCount();
    int checked = 0;
    for (int row = 0; row < children; ++row) {
        if (group->child(row)->checkState(ProfileColumn::Name) == Qt::Checked)
            ++checked;
    }
    if (checked == 0)
        group->setCheckState(ProfileColumn::Name, Qt::Unchecked);
    else if (checked == children)
        group->setCheckState(ProfileColumn::Name, Qt::Checked);
    else
        group->setCheckState(ProfileColumn::Name, Qt::PartiallyChecked);
}

void ProfilesTree::slotItemChanged(QTreeWidgetItem* item, int column)
{
    if (updating || column != ProfileColumn::Name)
        return;
    updating = true;
    if (auto* profileItem = dynamic_cast<ProfileTreeItem*>(item)) {
        profileItem->profile->selected = profileItem->checkState(ProfileColumn::Name) == Qt::Checked;
        if (item->parent())
            updateParentCheckState(item->parent());
    } else {
        // A click on a half-ticked group ticks it, so all its profiles follow.
        const Qt::CheckState state = item->checkState(ProfileColumn::Name);
        if (state != Qt::PartiallyChecked) {
            for (int row = 0; row < item->childCount(); ++row) {
                auto* child = dynamic_cast<ProfileTreeItem*>(item->child(row));
                if (!child)
                    continue;
                child->setCheckState(ProfileColumn::Name, state);
                child->profile->selected = state == Qt::Checked;
            }
        }
    }
    updating = false;
    emit checkedCountChanged(checkedCount());
}

void ProfilesTree::contextMenuEvent(QContextMenuEvent* event)
{
    QTreeWidgetItem* item = itemAt(event->pos());
    auto* profileItem = dynamic_cast<ProfileTreeItem*>(item);
    QMenu menu(this);
    QAction* browse = nullptr;
    QAction* remove = nullptr;
    QAction* add = nullptr;
    if (profileItem) {
        browse = menu.addAction("Browse folder...");
        if (profileItem->profile->custom)
            remove = menu.addAction("Remove");
    } else if (!item || item == customRoot) {
        add = menu.addAction("Add custom profile...");
    }
    if (menu.isEmpty())
        return;

    // Copy what the entries need: the tree may be rebuilt by the time they run.
    BrowserProfile* profile = profileItem ? profileItem->profile : nullptr;
    QAction* chosen = menu.exec(event->globalPos());
    if (!chosen)
        return;
    if (chosen == browse)
        showInExplorer(profile->path, true);
    else if (chosen == remove)
        emit removeCustomProfileRequested(profile);
    else if (chosen == add)
        emit addCustomProfileRequested();
}

QString ProfilesTree::droppedFolder(QDropEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasUrls())
        return QString();
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1)
        return QString();
    const QString path = urls.first().toLocalFile();
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return QString();
    return QDir::fromNativeSeparators(path);
}

void ProfilesTree::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void ProfilesTree::dragMoveEvent(QDragMoveEvent* event)
{
    if (droppedFolder(event).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void ProfilesTree::dropEvent(QDropEvent* event)
{
    const QString folder = droppedFolder(event);
    if (folder.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit customProfileDropped(folder);
}
