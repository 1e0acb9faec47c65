#pragma once

#include <QAbstractScrollArea>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSet>
#include <QStringList>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <functional>

// One answer waiting for the next modal dialog or popup menu of one kind.
// It lives as a child of its context, so the wait ends with the context. In a
// Qt Test run an answer belongs to the test function that set it: ending with
// it still waiting fails that test, and it never answers a later test's dialog
// (its captures would point into a finished function).
class PendingAnswer : public QObject
{
public:
    PendingAnswer(QObject* context, const char* kind, bool popup, std::function<bool(QWidget*)> takes,
                  std::function<void(QWidget*)> answer)
        : QObject(context)
        , kind(kind)
        , popup(popup)
        , owner(runningTest())
        , takesWidget(std::move(takes))
        , answer(std::move(answer))
    {
        waiting().insert(this);
        poll();
    }
    ~PendingAnswer() override
    {
        waiting().remove(this);
        if (!done && !owner.isEmpty() && owner == runningTest() && !QTest::currentTestFailed())
            QTest::qFail(qPrintable(QStringLiteral("the test ends while an answer still waits for a %1").arg(kind)),
                         __FILE__, __LINE__);
    }

    // Whether an answer still waits that would take this dialog or menu.
    static bool anyTakes(QWidget* widget)
    {
        for (PendingAnswer* pending : std::as_const(waiting())) {
            if (pending->takes(widget))
                return true;
        }
        return false;
    }

    // Ends the answers of `context` that still wait, for a test that keeps one
    // waiting on purpose (a watch for dialogs that must not show).
    static void dropWaiting(QObject* context)
    {
        const QSet<PendingAnswer*> all = waiting();
        for (PendingAnswer* pending : all) {
            if (pending->parent() == context) {
                pending->done = true;
                delete pending;
            }
        }
    }

private:
    static QSet<PendingAnswer*>& waiting()
    {
        static QSet<PendingAnswer*> set;
        return set;
    }

    // The test function and data row running now; empty outside a Qt Test run.
    static QByteArray runningTest()
    {
        const char* function = QTest::currentTestFunction();
        if (!function)
            return QByteArray();
        const char* row = QTest::currentDataTag();
        return row ? QByteArray(function) + '(' + row + ')' : QByteArray(function);
    }

    bool takes(QWidget* widget) const
    {
        const QWidget* shown = popup ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
        return !done && widget == shown && takesWidget(widget);
    }

    void poll()
    {
        QTimer::singleShot(0, this, [this] {
            if (owner != runningTest()) {
                // Left behind by an earlier test: drop it, and fail the test
                // running now, whose dialogs it would have answered.
                done = true;
                waiting().remove(this);
                if (QTest::currentTestFunction())
                    QTest::qFail(qPrintable(QStringLiteral("an answer for a %1 set in %2 was still waiting")
                                                .arg(kind, QString::fromUtf8(owner))),
                                 __FILE__, __LINE__);
                deleteLater();
                return;
            }
            QWidget* widget = popup ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
            if (!widget || !widget->isVisible() || !takesWidget(widget)) {
                poll();
                return;
            }
            done = true;
            waiting().remove(this);
            answer(widget);
            deleteLater();
        });
    }

    const QString kind;
    const bool popup;
    const QByteArray owner;
    const std::function<bool(QWidget*)> takesWidget;
    const std::function<void(QWidget*)> answer;
    bool done = false;
};

// Answers the next modal dialog or popup menu from the event loop, once it
// shows: the callback gets it and must close it. The wait ends with `context`,
// which should be an object of the test that ends with it.
template <typename Widget>
void whenShown(QObject* context, std::function<void(Widget*)> answer)
{
    new PendingAnswer(
        context, Widget::staticMetaObject.className(), std::is_same_v<Widget, QMenu>,
        [](QWidget* widget) { return qobject_cast<Widget*>(widget) != nullptr; },
        [answer](QWidget* widget) { answer(static_cast<Widget*>(widget)); });
}

// Closes every modal dialog and popup menu that no answer waits for, as soon
// as it shows. A product that asks something its test does not expect (a
// program of the same name running elsewhere on the machine, say) would
// otherwise keep the test in that dialog's event loop until the watchdog
// kills the whole executable; this way the test goes on and fails with what
// was asked.
class UnansweredDialogs : public QObject
{
public:
    UnansweredDialogs()
    {
        timer.setInterval(50);
        timer.callOnTimeout(this, &UnansweredDialogs::closeUnanswered);
        timer.start();
    }

    // What each closed dialog or menu said.
    const QStringList& closed() const { return seen; }

private:
    void closeUnanswered()
    {
        for (QWidget* widget : {QApplication::activePopupWidget(), QApplication::activeModalWidget()}) {
            if (!widget || !widget->isVisible() || PendingAnswer::anyTakes(widget))
                continue;
            QString text = QString::fromLatin1(widget->metaObject()->className());
            if (!widget->windowTitle().isEmpty())
                text += QStringLiteral(" \"%1\"").arg(widget->windowTitle());
            if (auto* box = qobject_cast<QMessageBox*>(widget))
                text += QStringLiteral(": ") + box->text();
            seen << text;
            qWarning("closed a dialog no test step waits for: %s", qPrintable(text));
            if (auto* dialog = qobject_cast<QDialog*>(widget))
                dialog->reject();
            else
                widget->close();
        }
    }

    QTimer timer;
    QStringList seen;
};

// The main text of a message box as its reader sees it: markup drawn as
// markup where the label takes its text for rich text.
inline QString shownMainText(const QMessageBox* box)
{
    const auto* label = box->findChild<const QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label)
        return QString();
    const Qt::TextFormat format = label->textFormat();
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(label->text())))
        return label->text();
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
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
