#include "QUpdatesDialog.h"

#include "AvailableUpdate.h"
#include "IconRow.h"
#include "LanguageTable.h"
#include "PaddedButtonText.h"
#include "QUpdateChecker.h"
#include "QtHelpers.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTextBrowser>
#include <QVBoxLayout>

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
    text->setWordWrap(true);
    text->setMinimumWidth(457);
    right->addWidget(text);

    auto* notesLabel
        = new QLabel(QString("<b>%1</b>").arg(checker->translate("core/UpdateChecker/UpdateAlertReleaseNotes")), this);
    notesLabel->setObjectName("releaseNotesLabel");
    decreaseFontSize(notesLabel, 1);
    right->addWidget(notesLabel);

    auto* notes = new QTextBrowser(this);
    notes->setObjectName("releaseNotes");
    notes->setMinimumHeight(200);
    notes->setReadOnly(true);
    notes->setOpenExternalLinks(true);
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
