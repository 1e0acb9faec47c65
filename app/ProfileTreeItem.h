#pragma once

#include <QIcon>
#include <QTreeWidgetItem>

class BrowserProfile;

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
