#pragma once

#include <QAbstractScrollArea>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <functional>

// Answers the next modal dialog or popup menu from the event loop, once it
// shows: the callback gets it and must close it. The wait ends with `context`.
template <typename Widget>
void whenShown(QObject* context, std::function<void(Widget*)> answer)
{
    QTimer::singleShot(0, context, [context, answer] {
        Widget* widget = nullptr;
        if constexpr (std::is_same_v<Widget, QMenu>)
            widget = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        else
            widget = qobject_cast<Widget*>(QApplication::activeModalWidget());
        if (!widget || !widget->isVisible()) {
            whenShown<Widget>(context, answer);
            return;
        }
        answer(widget);
    });
}

// One entry of a context menu as the user sees it.
struct MenuEntry
{
    QString text;
    bool enabled;
    bool operator==(const MenuEntry& other) const { return text == other.text && enabled == other.enabled; }
};

inline QList<MenuEntry> menuEntries(QMenu* menu)
{
    QList<MenuEntry> entries;
    for (QAction* action : menu->actions())
        entries << MenuEntry{action->text(), action->isEnabled()};
    return entries;
}

// Picks the entry by keyboard, as a user would; an empty text dismisses the menu.
inline void chooseEntry(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (!text.isEmpty() && action->text() == text) {
            menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
            return;
        }
    }
    QTest::keyClick(menu, Qt::Key_Escape);
}

// Sends a right-click context-menu request to a view at a viewport position.
inline void requestContextMenu(QAbstractScrollArea* view, const QPoint& pos)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, view->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(view->viewport(), &event);
}
