#pragma once

#include <QIcon>
#include <QTreeWidgetItem>

class BrowserProfile;

// The columns of the profiles tree; groups use only the name column.
namespace ProfileColumn {
enum : int { Name, Path, Databases, Size, Count };
}

// The folder icon of profile rows and the "Custom profiles" group; made once.
QIcon folderIcon();

// One profile row: name with a tick, path, database count and size.
class ProfileTreeItem : public QTreeWidgetItem
{
public:
    ProfileTreeItem(QTreeWidgetItem* parent, BrowserProfile* profile);
    ~ProfileTreeItem() override;

    // Recounts the databases and reads their sizes afresh.
    void updateColumns();

    // Not owned: the main window rebuilds the tree whenever a profile goes.
    BrowserProfile* profile;
};
