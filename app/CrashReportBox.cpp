#include "CrashReportBox.h"

#include "CrashHandler.h"
#include "CrashReportArguments.h"
#include "QtHelpers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <cstring>

CrashReportBox::CrashReportBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    const CrashHandler& record = CrashHandler::instance();
    setWindowTitle(QString::fromStdWString(expandPlaceholders(record.caption, false)));

    auto* messageArea = new QWidget(this);
    messageArea->setAutoFillBackground(true);
    messageArea->setBackgroundRole(QPalette::Base);
    auto* icon = new QLabel(messageArea);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    const QIcon shown = record.iconId != 0 && !appIcon().isNull()
        ? appIcon()
        : style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this);
    icon->setPixmap(shown.pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(QString::fromStdWString(reportBoxMessage()), messageArea);
    text->setTextFormat(Qt::PlainText);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* messageLayout = new QHBoxLayout(messageArea);
    messageLayout->setContentsMargins(24, 24, 24, 24);
    messageLayout->setSpacing(16);
    messageLayout->addWidget(icon);
    messageLayout->addWidget(text, 1);

    send = new QPushButton(QString::fromStdWString(record.sendButtonText), this);
    cancel = new QPushButton(QString::fromStdWString(record.cancelButtonText), this);
    send->setDefault(true);
    connect(send, &QPushButton::clicked, this, [this] { done(Send); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(Cancel); });
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(16, 12, 16, 12);
    buttons->addStretch(1);
    buttons->addWidget(send);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(messageArea, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    send->setFocus();
}

void CrashReportBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CrashReportBox::closeEvent(QCloseEvent* event)
{
    // Only the two buttons end the box (done() closes without this event).
    event->ignore();
}

bool isCrashReportRun(int argc, char** argv)
{
    return argc == CrashReportArguments::count && argv[1] && std::strcmp(argv[1], CrashReportArguments::option) == 0;
}

int runCrashReport(int argc, char** argv)
{
    if (!isCrashReportRun(argc, argv))
        return 2;
    const auto wide = [](const char* text) { return QString::fromUtf8(text).toStdWString(); };
    CrashHandler& record = CrashHandler::instance();
    record.dumpFilePath = wide(argv[2]);
    CrashHandler::setAppName(wide(argv[3]).c_str());
    CrashHandler::setAppVersion(wide(argv[4]).c_str());
    CrashHandler::setSupportEmail(wide(argv[5]).c_str());
    CrashHandler::setIconId(std::atoi(argv[6]));

    bool send = false;
    {
        int qtArgc = 1;
        QApplication app(qtArgc, argv);
        CrashReportBox box;
        send = box.exec() == CrashReportBox::Send;
    }
    // The crashed process waits for this one and ends with it: the mail
    // program must not hold it.
    if (send)
        startReportMail();
    return 0;
}
