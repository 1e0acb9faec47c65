#include "QMessageBoxEx.h"

#include "QtHelpers.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTextDocument>

QMessageBoxEx::QMessageBoxEx(QWidget* parent)
    : QMessageBoxLocalized(parent)
{
}

QMessageBoxEx::~QMessageBoxEx() = default;

int QMessageBoxEx::exec()
{
    if (!parent())
        setWindowIcon(appIcon());
    localizeButtons(this);
    for (QAbstractButton* button : buttons()) {
        button->adjustSize();
        padButtonText(button);
    }
    return QMessageBoxLocalized::exec();
}

void QMessageBoxEx::showEvent(QShowEvent* event)
{
    QMessageBox::showEvent(event);
    auto* label = findChild<QLabel*>("qt_msgbox_label");
    if (!label || text().isEmpty())
        return;

    // A plain text (a path with "&" or "<") must stay what it says once it
    // sits inside the bold markup.
    QString shown = label->text();
    const bool plain
        = label->textFormat() == Qt::PlainText || (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(shown));
    if (plain)
        shown = shown.toHtmlEscaped().replace('\n', "<br>");
    label->setTextFormat(Qt::RichText);
    label->setText(QString("<b>%1</b>").arg(shown));
}
