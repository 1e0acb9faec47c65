#include "AboutDialog.h"

#include "DialogButtons.h"
#include "HomePage.h"
#include "ProductIdentity.h"
#include "QApplicationEx.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget* parent)
    : QDialogEx(parent)
{
    setupUi();
    setWindowTitle(QStringLiteral("About %1").arg(QStringLiteral(QUORBILAN_PRODUCT_NAME)));

    const QIcon icon = parentWidget() ? parentWidget()->windowIcon() : windowIcon();
    iconLabel->setPixmap(icon.pixmap(64, 64));

    const auto* app = qobject_cast<QApplicationEx*>(QCoreApplication::instance());
    const quint32 build = app ? app->buildNumber() : 0;
    titleLabel->setText(
        QStringLiteral("%1 %2").arg(QStringLiteral(QUORBILAN_PRODUCT_NAME), QStringLiteral(QUORBILAN_VERSION_TEXT))
        + QStringLiteral(".") + QString::number(build));

    textLabel->setText(
        QStringLiteral("Speeds up Firefox, Chrome and other programs by compacting their SQLite databases.<br><br>")
        + QStringLiteral("Made by %1.<br><br>").arg(QStringLiteral(QUORBILAN_ORGANIZATION))
        + QStringLiteral("<a href=\"%1\">Home page</a>").arg(homePageAddress()));

    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutDialog::setupUi()
{
    auto* layout = new QVBoxLayout(this);

    auto* row = new QHBoxLayout;
    iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("iconLabel"));
    iconLabel->setFixedSize(64, 64);
    iconLabel->setScaledContents(true);
    row->addWidget(iconLabel, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    titleLabel = new QLabel(this);
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    QFont titleFont = titleLabel->font();
    titleFont.setWeight(QFont::Bold);
    titleFont.setPointSizeF(titleFont.pointSizeF() + 3);
    titleLabel->setFont(titleFont);
    textLabel = new QLabel(this);
    textLabel->setObjectName(QStringLiteral("textLabel"));
    textLabel->setTextFormat(Qt::RichText);
    textLabel->setOpenExternalLinks(true);
    textLabel->setWordWrap(true);
    column->addWidget(titleLabel);
    column->addWidget(textLabel);
    column->addStretch(1);
    row->addLayout(column, 1);
    layout->addLayout(row);

    closeButton = addCloseButtonRow(layout, this);

    setFixedSize(420, 220);
}
