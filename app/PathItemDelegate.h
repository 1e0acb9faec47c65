#pragma once

#include <QFontMetrics>
#include <QStyledItemDelegate>

// Fits a path into `width` pixels, keeping its last folder name whole when it
// fits and cutting the part before it; otherwise elides the middle.
QString elidePath(const QString& text, const QFontMetrics& metrics, int width);

// Draws the path column with elidePath, so the folder name stays visible.
class PathItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The column takes what the stretching section gives; it never asks for width.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
