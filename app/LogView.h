#pragma once

#include <QListWidget>

// The list of lines an optimizer run writes, some of them bold; they can be
// copied and saved from its context menu.
class LogView : public QListWidget
{
    Q_OBJECT

public:
    explicit LogView(QWidget* parent = nullptr);

    // All lines joined by "\n", without a newline after the last one.
    QString allText() const;
    // The selected lines, or the whole log when none is selected.
    void copySelectedLines();
    // Asks for a file and writes the log there as UTF-8, "\n" after every line.
    void saveToFile();

public slots:
    void slotAddLine(QString text, bool bold);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};
