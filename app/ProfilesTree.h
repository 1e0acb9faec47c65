#pragma once

#include <QTreeWidget>

#include <vector>

class BrowserProfile;
class BrowsersList;
class QDropEvent;

// The profiles grouped by program, each with a tick, its path, database count
// and size, plus a "Custom profiles" group. Ticks write the profiles'
// `selected` flags at once.
class ProfilesTree : public QTreeWidget
{
    Q_OBJECT

public:
    explicit ProfilesTree(QWidget* parent = nullptr);
    ~ProfilesTree() override;

    // Rebuilds every row from the list.
    void populate(BrowsersList* list);
    void storeCheckStates();
    int checkedCount() const;
    // In tree order.
    std::vector<BrowserProfile*> checkedProfiles() const;
    void refreshSizes();
    void selectProfile(BrowserProfile* profile);
    // A group is ticked when all its profiles are, half-ticked when some are.
    void updateParentCheckState(QTreeWidgetItem* group);
    // The one existing local folder the event carries, with forward slashes; else empty.
    static QString droppedFolder(QDropEvent* event);

signals:
    void checkedCountChanged(int count);
    void customProfileDropped(QString folder);
    void addCustomProfileRequested();
    void removeCustomProfileRequested(BrowserProfile* profile);

private slots:
    void slotItemChanged(QTreeWidgetItem* item, int column);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QTreeWidgetItem* addGroup(const QString& name, const QIcon& icon);
    // Calls `visit` for every profile row in tree order.
    template <typename Visit>
    void forEachProfileItem(Visit visit) const;

    // Set while the tree changes its own items, so slotItemChanged ignores them.
    bool updating = false;
    QTreeWidgetItem* customRoot = nullptr;
};
