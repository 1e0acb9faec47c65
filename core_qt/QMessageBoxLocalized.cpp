#include "QMessageBoxLocalized.h"

#include "LanguageTable.h"
#include "QApplicationEx.h"
#include "QtHelpers.h"

#include <QAbstractButton>
#include <QMap>

namespace {

// Standard button -> text, filled from the language table by every box made
// while one exists. GUI thread only.
QMap<int, QString>& buttonTexts()
{
    static QMap<int, QString> texts;
    return texts;
}

struct ButtonKey
{
    const char* key;
    QMessageBox::StandardButton button;
};

const ButtonKey buttonKeys[] = {
    {"core/QMessageBoxEx/buttonOK", QMessageBox::Ok},       {"core/QMessageBoxEx/buttonCancel", QMessageBox::Cancel},
    {"core/QMessageBoxEx/buttonClose", QMessageBox::Close}, {"core/QMessageBoxEx/buttonYes", QMessageBox::Yes},
    {"core/QMessageBoxEx/buttonNo", QMessageBox::No},
};

} // namespace

QMessageBoxLocalized::QMessageBoxLocalized(QWidget* parent)
    : QMessageBox(parent)
{
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* app = qobject_cast<QApplicationEx*>(QCoreApplication::instance());
    if (app && app->languageTable) {
        for (const ButtonKey& entry : buttonKeys) {
            QString text;
            if (app->languageTable->tryTranslate(QString::fromLatin1(entry.key), text))
                setButtonText(entry.button, text);
        }
    }
}

QMessageBoxLocalized::~QMessageBoxLocalized() = default;

void QMessageBoxLocalized::setButtonText(int button, const QString& text)
{
    if (!text.isEmpty())
        buttonTexts().insert(button, text);
}

void QMessageBoxLocalized::localizeButtons(QMessageBox* box)
{
    const QMap<int, QString>& texts = buttonTexts();
    if (texts.isEmpty())
        return;
    const QMessageBox::StandardButtons present = box->standardButtons();
    for (auto it = texts.constBegin(); it != texts.constEnd(); ++it) {
        const auto button = QMessageBox::StandardButton(it.key());
        if (present.testFlag(button))
            box->button(button)->setText(it.value());
    }
}

int QMessageBoxLocalized::exec()
{
    if (!parent())
        setWindowIcon(appIcon());
    localizeButtons(this);
    return QDialog::exec();
}

int QMessageBoxLocalized::showModal(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBoxLocalized box(parent);
    box.setIcon(icon);
    box.setWindowTitle(title);
    // The texts carry names, paths and messages from outside: a name that
    // looks like a tag is shown as typed, never drawn as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setStandardButtons(buttons);
    box.setDefaultButton(defaultButton);
    box.setWindowIcon(appIcon());
    return box.exec();
}

int QMessageBoxLocalized::critical(QWidget* parent, const QString& title, const QString& text,
                                   QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return showModal(parent, QMessageBox::Critical, title, text, buttons, defaultButton);
}

int QMessageBoxLocalized::question(QWidget* parent, const QString& title, const QString& text,
                                   QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return showModal(parent, QMessageBox::Question, title, text, buttons, defaultButton);
}

int QMessageBoxLocalized::warning(QWidget* parent, const QString& title, const QString& text,
                                  QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    return showModal(parent, QMessageBox::Warning, title, text, buttons, defaultButton);
}
