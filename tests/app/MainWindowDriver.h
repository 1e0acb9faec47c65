#pragma once

#include "BrowserProfile.h"
#include "LogView.h"
#include "MainWindow.h"
#include "ProfileTreeItem.h"
#include "ProfilesTree.h"

#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QUrl>

// Reaches the main window's parts as a user sees them: by their names and
// the texts of its menus.
struct MainWindowDriver
{
    MainWindow* window;

    QPushButton* button(const char* name) const { return window->findChild<QPushButton*>(name); }
    QPushButton* optimizeButton() const { return button("optimizeButton"); }
    QLabel* infoLabel() const { return window->findChild<QLabel*>("infoLabel"); }
    QStackedWidget* pages() const { return window->findChild<QStackedWidget*>("pages"); }
    ProfilesTree* tree() const { return window->findChild<ProfilesTree*>("profilesTree"); }
    LogView* log() const { return window->findChild<LogView*>("logView"); }
    QProgressBar* progressBar() const { return window->findChild<QProgressBar*>("progressBar"); }
    bool onLogPage() const { return pages()->currentWidget() == log(); }

    QAction* action(const QString& text) const
    {
        for (QAction* menu : window->menuBar()->actions()) {
            for (QAction* entry : menu->menu()->actions()) {
                if (entry->text() == text)
                    return entry;
            }
        }
        return nullptr;
    }
    QAction* refreshAction() const { return action(QStringLiteral("&Refresh the list")); }

    // The profiles are listed and the list may be changed again.
    bool loaded() const { return refreshAction()->isEnabled() && tree()->topLevelItemCount() > 0; }

    QTreeWidgetItem* group(const QString& name) const
    {
        for (int i = 0; i < tree()->topLevelItemCount(); ++i) {
            if (tree()->topLevelItem(i)->text(0) == name)
                return tree()->topLevelItem(i);
        }
        return nullptr;
    }

    // Ticks or unticks a whole group the way a click on its box does.
    void tickGroup(const QString& name, bool ticked) const
    {
        group(name)->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    }

    void tickOnlyGroup(const QString& name) const
    {
        for (int i = 0; i < tree()->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = tree()->topLevelItem(i);
            item->setCheckState(0, item->text(0) == name ? Qt::Checked : Qt::Unchecked);
        }
    }

    QStringList checkedPaths() const
    {
        QStringList paths;
        for (BrowserProfile* profile : tree()->checkedProfiles())
            paths << profile->path;
        return paths;
    }

    QStringList logLines() const
    {
        QStringList lines;
        for (int i = 0; i < log()->count(); ++i)
            lines << log()->item(i)->text();
        return lines;
    }

    void click(QPushButton* target) const { QTest::mouseClick(target, Qt::LeftButton); }

    // Drops one local folder on the tree, as the file manager does.
    void dropFolder(const QString& folder) const
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(folder)});
        const QPoint pos = tree()->viewport()->rect().center();
        QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree()->viewport(), &enter);
        QDropEvent drop(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree()->viewport(), &drop);
    }
};
