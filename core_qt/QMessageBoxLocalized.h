#pragma once

#include <QMessageBox>

// A message box whose standard buttons carry the language table's texts, that
// never quits the application when it closes, and that shows the program icon.
class QMessageBoxLocalized : public QMessageBox
{
    Q_OBJECT

public:
    explicit QMessageBoxLocalized(QWidget* parent = nullptr);
    ~QMessageBoxLocalized() override;

    int exec() override;

    // Modal boxes of one call; the text is plain text, shown as written.
    static int critical(QWidget* parent, const QString& title, const QString& text,
                        QMessageBox::StandardButtons buttons,
                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static int question(QWidget* parent, const QString& title, const QString& text,
                        QMessageBox::StandardButtons buttons,
                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static int warning(QWidget* parent, const QString& title, const QString& text, QMessageBox::StandardButtons buttons,
                       QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // Process-wide text of a standard button; an empty text is ignored.
    static void setButtonText(int button, const QString& text);
    // Applies the stored texts to the standard buttons the box has.
    static void localizeButtons(QMessageBox* box);

private:
    static int showModal(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                         QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton);
};
