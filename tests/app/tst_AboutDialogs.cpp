#include "AboutDialog.h"
#include "CommandLine.h"
#include "CommandLineDialog.h"
#include "HomePage.h"
#include "IsolatedTestMain.h"
#include "ProductIdentity.h"
#include "QuorbilanApp.h"
#include "UrlCatcher.h"

#include <QDesktopServices>
#include <QFontDatabase>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestAboutDialogs : public QObject
{
    Q_OBJECT

private slots:
    void aboutBoxTexts();
    void aboutBoxLayout();
    void homePageLinkKeepsTheBoxOpen();
    void helpDialogShowsTheConsoleHelp();
    void helpDialogLayout();
    void closeButtonsAccept_data();
    void closeButtonsAccept();

private:
    static QIcon redIcon();
};

QIcon TestAboutDialogs::redIcon()
{
    QPixmap pixmap(128, 128);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

void TestAboutDialogs::aboutBoxTexts()
{
    QMainWindow parent;
    parent.setWindowIcon(redIcon());
    AboutDialog dialog(&parent);
    QCOMPARE(dialog.windowTitle(), "About Quorbilan");
    auto* title = dialog.findChild<QLabel*>("titleLabel");
    auto* text = dialog.findChild<QLabel*>("textLabel");
    QVERIFY(title && text);
    const QString build = QString::number(qobject_cast<QApplicationEx*>(qApp)->buildNumber());
    QCOMPARE(title->text(), QStringLiteral(QUORBILAN_PRODUCT_NAME " " QUORBILAN_VERSION_TEXT ".") + build);
    QCOMPARE(text->text(),
             "Speeds up Firefox, Chrome and other programs by compacting their SQLite databases.<br><br>"
             "Made by Tulverhaven Software.<br><br>"
             "<a href=\""
                 + homePageAddress() + "\">Home page</a>");
    const QUrl home(homePageAddress());
    QCOMPARE(home.scheme(), "https");
    QCOMPARE(home.path(), "/quorbilan");
    QCOMPARE(home.query(), "ref=quorbilan");
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
}

void TestAboutDialogs::aboutBoxLayout()
{
    QMainWindow parent;
    parent.setWindowIcon(redIcon());
    AboutDialog dialog(&parent);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    // It cannot be resized.
    QCOMPARE(dialog.size(), QSize(420, 220));
    QCOMPARE(dialog.minimumSize(), QSize(420, 220));
    QCOMPARE(dialog.maximumSize(), QSize(420, 220));

    // The parent's icon at 64 pixels.
    auto* icon = dialog.findChild<QLabel*>("iconLabel");
    QVERIFY(icon);
    QCOMPARE(icon->size(), QSize(64, 64));
    QVERIFY(icon->hasScaledContents());
    const QImage image = icon->pixmap().toImage();
    QCOMPARE(image.size(), QSize(64, 64));
    QCOMPARE(image.pixelColor(32, 32), QColor(Qt::red));

    // The title bold and three points larger than a plain label.
    auto* title = dialog.findChild<QLabel*>("titleLabel");
    const QFont plain = QLabel().font();
    QCOMPARE(title->font().weight(), QFont::Bold);
    QCOMPARE(title->font().pointSizeF(), plain.pointSizeF() + 3);
    auto* text = dialog.findChild<QLabel*>("textLabel");
    QCOMPARE(text->textFormat(), Qt::RichText);
    QVERIFY(text->wordWrap());
    QVERIFY(text->openExternalLinks());
    // The text column sits right of the icon, the button at the bottom right.
    QVERIFY(text->geometry().left() >= icon->geometry().right());
    auto* close = dialog.findChild<QPushButton*>("closeButton");
    QVERIFY(close->geometry().right() > dialog.width() - 30);
    QVERIFY(close->geometry().top() > text->geometry().top());
}

void TestAboutDialogs::homePageLinkKeepsTheBoxOpen()
{
    TestSupport::UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "openUrl");
    AboutDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* text = dialog.findChild<QLabel*>("textLabel");

    // Click along the label's lines until the link answers, as a user aims at it.
    for (int y = 1; y < text->height() && catcher.opened.isEmpty(); y += 2) {
        for (int x = 1; x < 120 && catcher.opened.isEmpty(); x += 4)
            QTest::mouseClick(text, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    }
    QDesktopServices::unsetUrlHandler("https");
    QCOMPARE(catcher.opened.size(), 1);
    QCOMPARE(catcher.opened.first(), QUrl(homePageAddress()));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
}

void TestAboutDialogs::helpDialogShowsTheConsoleHelp()
{
    CommandLineDialog dialog;
    QCOMPARE(dialog.windowTitle(), "Command line");
    auto* edit = dialog.findChild<QPlainTextEdit*>("textEdit");
    QVERIFY(edit);
    QCOMPARE(edit->toPlainText(), helpText());

    // The console prints the product line, an empty line, the same text and a final line break.
    QProcess console;
    console.start(QUORBILAN_EXE, {"/help"});
    QVERIFY(console.waitForFinished(60000));
    QCOMPARE(console.exitCode(), 0);
    const QString printed = QString::fromUtf8(console.readAllStandardOutput());
    QCOMPARE(printed,
             QStringLiteral(QUORBILAN_PRODUCT_NAME " " QUORBILAN_VERSION_TEXT "\n\n") + edit->toPlainText() + "\n");
    QVERIFY(edit->toPlainText().startsWith("Quorbilan command line parameters:\n"));
}

void TestAboutDialogs::helpDialogLayout()
{
    CommandLineDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.size(), QSize(620, 380));
    auto* edit = dialog.findChild<QPlainTextEdit*>("textEdit");
    QVERIFY(edit->isReadOnly());
    QCOMPARE(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(edit->font(), QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));

    // Resizable; narrowed, the long lines scroll sideways instead of wrapping.
    const int lines = edit->document()->blockCount();
    dialog.resize(300, 300);
    QTRY_COMPARE_WITH_TIMEOUT(dialog.size(), QSize(300, 300), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(edit->horizontalScrollBar()->maximum() > 0, 60000);
    QCOMPARE(edit->document()->blockCount(), lines);
    QCOMPARE(edit->document()->lineCount(), lines);
    dialog.resize(900, 500);
    QTRY_COMPARE_WITH_TIMEOUT(dialog.size(), QSize(900, 500), 60000);
    QVERIFY(edit->width() > 850);
}

void TestAboutDialogs::closeButtonsAccept_data()
{
    QTest::addColumn<bool>("about");
    QTest::newRow("About") << true;
    QTest::newRow("Command line") << false;
}

void TestAboutDialogs::closeButtonsAccept()
{
    QFETCH(bool, about);
    std::unique_ptr<QDialog> dialog;
    if (about)
        dialog = std::make_unique<AboutDialog>();
    else
        dialog = std::make_unique<CommandLineDialog>();
    auto* close = dialog->findChild<QPushButton*>("closeButton");
    QVERIFY(close);
    QCOMPARE(close->text(), "Close");
    QVERIFY(close->isDefault());
    QTimer::singleShot(0, close, [close] { QTest::mouseClick(close, Qt::LeftButton); });
    QCOMPARE(dialog->exec(), int(QDialog::Accepted));
}

int main(int argc, char** argv)
{
    return runIsolatedTest<TestAboutDialogs, QuorbilanApp>(argc, argv, AppArguments::None);
}

#include "tst_AboutDialogs.moc"
