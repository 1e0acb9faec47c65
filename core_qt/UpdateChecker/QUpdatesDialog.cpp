#include "QUpdatesDialog.h"

#include "AvailableUpdate.h"
#include "IconRow.h"
#include "LanguageTable.h"
#include "PaddedButtonText.h"
#include "QUpdateChecker.h"
#include "QtHelpers.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QImage>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

const QString imagePrefix = QStringLiteral(":/UpdateChecker/");

// One of the program's own release-note images, else an empty picture: no
// file, no device, no FIFO, no address. Nothing null is returned, since the
// image handler then opens the name itself.
QVariant ownImage(int type, const QUrl& name)
{
    if (type != QTextDocument::ImageResource)
        return QVariant();
    QString path = name.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + name.path() : name.toString();
    path = QDir::cleanPath(path);
    QImage image;
    if (path.startsWith(imagePrefix))
        image.load(path);
    if (image.isNull()) {
        image = QImage(1, 1, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
    }
    return image;
}

// The document asks itself before it reads files on its own: answering here
// and never asking the base keeps every other resource out.
class ReleaseNotesDocument : public QTextDocument
{
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl& name) override { return ownImage(type, name); }
};

// The release notes come from the server: they may show the program's own
// images and nothing else, and a click leaves the program only for an https
// page in the desktop's browser. The browser itself never navigates.
class ReleaseNotesBrowser : public QTextBrowser
{
public:
    explicit ReleaseNotesBrowser(QWidget* parent)
        : QTextBrowser(parent)
    {
        setDocument(new ReleaseNotesDocument(this));
        setOpenLinks(false);
        setOpenExternalLinks(false);
        connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
            if (url.scheme() == QLatin1String("https") && !url.host().isEmpty())
                QDesktopServices::openUrl(url);
        });
    }

    QVariant loadResource(int type, const QUrl& name) override { return ownImage(type, name); }
};

} // namespace

QUpdatesDialog::QUpdatesDialog(QUpdateChecker* checker, QWidget* parent)
    : QDialogEx(parent)
    , checker(checker)
{
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(checker->translate("core/UpdateChecker/UpdateAlertTitle"));
    if (!parent)
        setWindowIcon(!checker->customIcon.isNull() ? checker->customIcon : checker->appIcon);
    setupUi();
    adjustSize();
}

QUpdatesDialog::~QUpdatesDialog() = default;

void QUpdatesDialog::setupUi()
{
    QHBoxLayout* row = addIconRow(this, checker->appIcon);

    auto* right = new QVBoxLayout();
    row->addLayout(right);

    auto* headline = new QLabel(
        QString("<b>%1</b>").arg(checker->translate("core/UpdateChecker/NewVersionAvailable").arg(checker->appName)),
        this);
    headline->setObjectName("headlineLabel");
    right->addWidget(headline);

    auto* text
        = new QLabel(checker->translate("core/UpdateChecker/NewVersionAvailableText")
                         .arg(checker->appName, checker->availableUpdate->newestVersionName(), checker->currentVersion),
                     this);
    text->setObjectName("textLabel");
    // The version's name comes from the feed: text, never markup.
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setMinimumWidth(457);
    right->addWidget(text);

    auto* notesLabel
        = new QLabel(QString("<b>%1</b>").arg(checker->translate("core/UpdateChecker/UpdateAlertReleaseNotes")), this);
    notesLabel->setObjectName("releaseNotesLabel");
    decreaseFontSize(notesLabel, 1);
    right->addWidget(notesLabel);

    auto* notes = new ReleaseNotesBrowser(this);
    notes->setObjectName("releaseNotes");
    notes->setMinimumHeight(200);
    notes->setReadOnly(true);
    notes->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse
                                   | Qt::LinksAccessibleByKeyboard);
    notes->setHtml(checker->availableUpdate->releaseNotesHtml());
    right->addWidget(notes);

    auto* autoCheck = new QCheckBox(checker->translate("core/UpdateChecker/UpdateAlertAutomaticUpdates"), this);
    autoCheck->setObjectName("autoCheckBox");
    autoCheck->setChecked(checker->isAutoCheckEnabled());
    connect(autoCheck, SIGNAL(toggled(bool)), this, SLOT(slotAutoUpdateToggle(bool)));
    right->addWidget(autoCheck);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* remind = buttons->addButton(checker->translate("core/UpdateChecker/UpdateAlertRemindLater"),
                                             QDialogButtonBox::AcceptRole);
    remind->setObjectName("remindButton");
    connect(remind, SIGNAL(clicked()), this, SLOT(slotRemindLater()));
    QPushButton* install
        = buttons->addButton(checker->translate("core/UpdateChecker/UpdateAlertInstall"), QDialogButtonBox::AcceptRole);
    install->setObjectName("installButton");
    connect(install, SIGNAL(clicked()), this, SLOT(slotInstall()));
    install->setDefault(true);
    QPushButton* skip
        = buttons->addButton(checker->translate("core/UpdateChecker/UpdateAlertSkip"), QDialogButtonBox::ResetRole);
    skip->setObjectName("skipButton");
    connect(skip, SIGNAL(clicked()), this, SLOT(slotSkip()));
    right->addWidget(buttons);

    setPaddedButtonText(remind);
    setPaddedButtonText(install);
    setPaddedButtonText(skip);

    if (!checker->settings) {
        skip->hide();
        autoCheck->hide();
    }
    if (checker->availableUpdate->isNoInstall())
        install->setEnabled(false);
}

void QUpdatesDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
    done(0);
}

void QUpdatesDialog::slotRemindLater()
{
    done(0);
}

void QUpdatesDialog::slotAutoUpdateToggle(bool bToggle)
{
    checker->setAutoCheck(bToggle);
}

void QUpdatesDialog::slotSkip()
{
    done(1);
}

void QUpdatesDialog::slotInstall()
{
    done(2);
}
