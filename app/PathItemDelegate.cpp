#include "PathItemDelegate.h"

#include <QApplication>
#include <QStyle>

QString elidePath(const QString& text, const QFontMetrics& metrics, int width)
{
    if (width <= 0 || metrics.horizontalAdvance(text) <= width)
        return text;
    const qsizetype sep = qMax(text.lastIndexOf('\\'), text.lastIndexOf('/'));
    if (sep >= 0 && sep != text.size() - 1) {
        const QString tail = text.mid(sep);
        const int tailWidth = metrics.horizontalAdvance(tail);
        if (tailWidth < width)
            return metrics.elidedText(text.left(sep), Qt::ElideRight, width - tailWidth) + tail;
    }
    return metrics.elidedText(text, Qt::ElideMiddle, width);
}

void PathItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    if (opt.text.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
    // A little room for the style's own text margins.
    opt.text = elidePath(opt.text, QFontMetrics(opt.font), textRect.width() - 6);
    // The text is fitted already; the style's own eliding would cut the kept
    // folder name over a rounding fraction of a pixel.
    opt.textElideMode = Qt::ElideNone;
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
}

QSize PathItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setWidth(0);
    return size;
}
