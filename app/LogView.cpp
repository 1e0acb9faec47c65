#include "LogView.h"

#include "ProductIdentity.h"
#include "QMessageBoxLocalized.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>

LogView::LogView(QWidget* parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setUniformItemSizes(true);
}

void LogView::slotAddLine(QString text, bool bold)
{
    auto* item = new QListWidgetItem(text, this);
    if (bold) {
        QFont font = item->font();
        font.setWeight(QFont::Bold);
        item->setFont(font);
    }
    scrollToBottom();
}

QString LogView::allText() const
{
    QStringList lines;
    lines.reserve(count());
    for (int row = 0; row < count(); ++row)
        lines << item(row)->text();
    return lines.join('\n');
}

void LogView::copySelectedLines()
{
    QStringList lines;
    for (const QListWidgetItem* selected : selectedItems())
        lines << selected->text();
    if (lines.isEmpty())
        lines << allText();
    QApplication::clipboard()->setText(lines.join('\n'), QClipboard::Clipboard);
}

void LogView::saveToFile()
{
    const QString fileName = QFileDialog::getSaveFileName(window(), "Save the log", QDir::homePath() + "/quorbilan.log",
                                                          "Log files (*.log);;All files (*)");
    if (fileName.isEmpty())
        return;
    // Binary mode: the lines end in "\n" on every system.
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QMessageBoxLocalized::critical(window(), QStringLiteral(QUORBILAN_PRODUCT_NAME),
                                       QString("Cannot write %1").arg(QDir::toNativeSeparators(fileName)),
                                       QMessageBox::Ok);
        return;
    }
    file.write(allText().toUtf8());
    file.write("\n");
}

void LogView::contextMenuEvent(QContextMenuEvent* event)
{
    if (count() == 0)
        return;
    QMenu menu(this);
    QAction* copyLine = menu.addAction("Copy line");
    copyLine->setEnabled(currentItem() && currentItem()->isSelected());
    QAction* copyAll = menu.addAction("Copy all");
    QAction* save = menu.addAction("Save to file...");
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == copyLine)
        copySelectedLines();
    else if (chosen == copyAll)
        QApplication::clipboard()->setText(allText(), QClipboard::Clipboard);
    else if (chosen == save)
        saveToFile();
}
