#include "GuiChild.h"
#include "IsolatedTestMain.h"
#include "LanguageTable.h"
#include "ModalDriver.h"
#include "QApplicationEx.h"
#include "QMessageBoxEx.h"
#include "QMessageBoxLocalized.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QTest>

#include <functional>

namespace {

QLabel* mainLabel(QMessageBox* box)
{
    return box->findChild<QLabel*>("qt_msgbox_label");
}

// What the label shows to the reader, markup resolved.
QString shownText(QLabel* label)
{
    if (label->textFormat() == Qt::PlainText)
        return label->text();
    QTextDocument doc;
    doc.setHtml(label->text());
    return doc.toPlainText();
}

// Counts the Quit events the application gets while it lives, and drops them.
class QuitRequests : public QObject
{
public:
    QuitRequests() { qApp->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != qApp || event->type() != QEvent::Quit)
            return false;
        ++count;
        return true;
    }
};

} // namespace

class TestMessageBoxes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void questionShowsTheTableTextsAndReturnsTheButton();
    void staticsSetIconTitleAndText_data();
    void staticsSetIconTitleAndText();
    void otherButtonsKeepTheToolkitText();
    void storedTextsReachAnyBox();
    void languageFileTranslatesTheButtons();
    void closingTheLastBoxDoesNotQuit_data();
    void closingTheLastBoxDoesNotQuit();
    void boldMainText_data();
    void boldMainText();
    void boldIsAppliedAgainOnEveryShow();
    void tightButtonsArePaddedButStandardTextsStay();
};

void TestMessageBoxes::initTestCase()
{
    auto* app = qobject_cast<QApplicationEx*>(qApp);
    app->initLanguage(":/English.xml");
    QVERIFY(app->languageTable->load("English.xml"));
}

void TestMessageBoxes::questionShowsTheTableTextsAndReturnsTheButton()
{
    QObject step; // the context of this test's answers
    QStringList texts;
    whenShown<QMessageBox>(&step, [&texts](QMessageBox* box) {
        texts << box->button(QMessageBox::Yes)->text() << box->button(QMessageBox::No)->text();
        box->button(QMessageBox::Yes)->click();
    });
    const int answer = QMessageBoxLocalized::question(nullptr, "Quorbilan", "Close it?",
                                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    QCOMPARE(answer, int(QMessageBox::Yes));
    QCOMPARE(answer, 0x4000);
    // The toolkit's own texts carry mnemonics ("&Yes"): these come from the table.
    QCOMPARE(texts, (QStringList{"Yes", "No"}));
}

void TestMessageBoxes::staticsSetIconTitleAndText_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("icon");
    QTest::newRow("critical") << 0 << int(QMessageBox::Critical);
    QTest::newRow("question") << 1 << int(QMessageBox::Question);
    QTest::newRow("warning") << 2 << int(QMessageBox::Warning);
}

void TestMessageBoxes::staticsSetIconTitleAndText()
{
    QObject step; // the context of this test's answers
    QFETCH(int, kind);
    QFETCH(int, icon);
    QWidget parent;
    int shownIcon = -1;
    QString title, text, shown, okText;
    bool hasIcon = false;
    QAbstractButton* defaultButton = nullptr;
    whenShown<QMessageBox>(&step, [&](QMessageBox* box) {
        shownIcon = box->icon();
        title = box->windowTitle();
        text = box->text();
        shown = shownMainText(box);
        okText = box->button(QMessageBox::Ok)->text();
        hasIcon = !box->windowIcon().isNull();
        defaultButton = box->defaultButton();
        box->button(QMessageBox::Ok)->click();
    });
    using Show
        = int (*)(QWidget*, const QString&, const QString&, QMessageBox::StandardButtons, QMessageBox::StandardButton);
    const Show show[]
        = {&QMessageBoxLocalized::critical, &QMessageBoxLocalized::question, &QMessageBoxLocalized::warning};
    // A name that looks like markup is shown as typed.
    const QString written = "Cannot write /tmp/<b>x</b> & <i>y</i>";
    const int answer = show[kind](&parent, "Quorbilan", written, QMessageBox::Ok, QMessageBox::NoButton);
    QCOMPARE(answer, int(QMessageBox::Ok));
    QCOMPARE(shownIcon, icon);
    QCOMPARE(title, "Quorbilan");
    QCOMPARE(text, written);
    QCOMPARE(shown, written);
    QCOMPARE(okText, "OK");
    QVERIFY(hasIcon);
    QVERIFY(!defaultButton);
}

void TestMessageBoxes::otherButtonsKeepTheToolkitText()
{
    QObject step; // the context of this test's answers
    QMessageBox plain;
    plain.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
    const QString toolkitRetry = plain.button(QMessageBox::Retry)->text();

    QMessageBoxLocalized box;
    box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
    QString retry, cancel;
    whenShown<QMessageBox>(&step, [&](QMessageBox* shown) {
        retry = shown->button(QMessageBox::Retry)->text();
        cancel = shown->button(QMessageBox::Cancel)->text();
        shown->button(QMessageBox::Retry)->click();
    });
    QCOMPARE(box.exec(), int(QMessageBox::Retry));
    QCOMPARE(retry, toolkitRetry);
    QCOMPARE(cancel, "Cancel");
}

void TestMessageBoxes::storedTextsReachAnyBox()
{
    QMessageBoxLocalized::setButtonText(QMessageBox::Yes, "Ja");
    QMessageBoxLocalized::setButtonText(QMessageBox::No, QString()); // ignored
    QMessageBox plain;
    plain.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Retry);
    const QString toolkitRetry = plain.button(QMessageBox::Retry)->text();
    QMessageBoxLocalized::localizeButtons(&plain);
    QCOMPARE(plain.button(QMessageBox::Yes)->text(), "Ja");
    QCOMPARE(plain.button(QMessageBox::No)->text(), "No");
    QCOMPARE(plain.button(QMessageBox::Retry)->text(), toolkitRetry);

    // The next box made refreshes the texts from the table.
    QMessageBoxLocalized refresh;
    QMessageBox again;
    again.setStandardButtons(QMessageBox::Yes);
    QMessageBoxLocalized::localizeButtons(&again);
    QCOMPARE(again.button(QMessageBox::Yes)->text(), "Yes");
}

void TestMessageBoxes::languageFileTranslatesTheButtons()
{
    // The language file sits in "languages" beside the executable: run a copy
    // of the helper from a folder of our own.
    QTemporaryDir dir;
    const QString helper = dir.filePath("gui_test_helper");
    QVERIFY(QFile::copy(QString::fromUtf8(GUI_TEST_HELPER), helper));
    QVERIFY(QDir(dir.path()).mkdir("languages"));
    QFile german(dir.filePath("languages/German.xml"));
    QVERIFY(german.open(QIODevice::WriteOnly));
    german.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LanguageStrings><core><QMessageBoxEx>"
                 "<buttonYes>Ja</buttonYes><buttonNo>Nein</buttonNo>"
                 "</QMessageBoxEx></core></LanguageStrings>\n");
    german.close();

    GuiChild child(helper);
    QVERIFY(child.start({"language", "German"}));
    QVERIFY(child.finish());
    QCOMPARE(child.process.exitCode(), 0);
    QCOMPARE(child.lines.mid(0, 2), (QStringList{"Ja", "Nein"}));
    QCOMPARE(child.lines.value(3), "result No");

    GuiChild english;
    QVERIFY(english.start({"language", "English.xml"}));
    QVERIFY(english.finish());
    QCOMPARE(english.lines.mid(0, 2), (QStringList{"Yes", "No"}));
    // Retry is not one of the table's buttons: both runs show the toolkit's text.
    QCOMPARE(child.lines.value(2), english.lines.value(2));
}

void TestMessageBoxes::closingTheLastBoxDoesNotQuit_data()
{
    QTest::addColumn<bool>("localized");
    QTest::newRow("localized box") << true;
    QTest::newRow("toolkit box, for contrast") << false;
}

void TestMessageBoxes::closingTheLastBoxDoesNotQuit()
{
    QFETCH(bool, localized);
    // The toolkit asks to quit with a Quit event to the application, posted or
    // sent while the window closes: count them, and keep them from ending the
    // loop, so the test ends the same way every time.
    QuitRequests quits;
    std::unique_ptr<QMessageBox> box(localized ? new QMessageBoxLocalized : new QMessageBox);
    box->setText("Done");
    box->show();
    QTimer::singleShot(0, box.get(), [&box, &quits] {
        box->close();
        // Queued behind any Quit event the close posted.
        QTimer::singleShot(0, &quits, [] { QCoreApplication::exit(3); });
    });
    QCOMPARE(QCoreApplication::exec(), 3);
    QCOMPARE(quits.count, localized ? 0 : 1);
}

void TestMessageBoxes::boldMainText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reads");
    QTest::newRow("path with & and <") << "C:\\Data & <Profiles>\\History"
                                       << "C:\\Data & <Profiles>\\History";
    QTest::newRow("two lines") << "First line\nSecond & last"
                               << "First line\nSecond & last";
    QTest::newRow("markup stays markup") << "Version <i>3.1</i> is available"
                                         << "Version 3.1 is available";
}

void TestMessageBoxes::boldMainText()
{
    QObject step; // the context of this test's answers
    QFETCH(QString, text);
    QFETCH(QString, reads);
    QMessageBoxEx box;
    box.setText(text);
    box.setInformativeText("<keep me>");
    box.setStandardButtons(QMessageBox::Ok);
    QString labelText, informative;
    QString shown;
    whenShown<QMessageBox>(&step, [&](QMessageBox* b) {
        labelText = mainLabel(b)->text();
        shown = shownText(mainLabel(b));
        informative = b->findChild<QLabel*>("qt_msgbox_informativelabel")->text();
        b->button(QMessageBox::Ok)->click();
    });
    box.exec();
    QVERIFY2(labelText.startsWith("<b>") && labelText.endsWith("</b>"), qPrintable(labelText));
    QCOMPARE(shown, reads);
    QCOMPARE(informative, "<keep me>");
}

void TestMessageBoxes::boldIsAppliedAgainOnEveryShow()
{
    QObject step; // the context of this test's answers
    QMessageBoxEx box;
    box.setText("Up to date");
    QStringList seen;
    auto answer = [&seen](QMessageBox* b) {
        seen << mainLabel(b)->text();
        b->button(QMessageBox::Ok)->click();
    };
    whenShown<QMessageBox>(&step, answer);
    box.exec();
    whenShown<QMessageBox>(&step, answer);
    box.exec();
    QCOMPARE(seen, (QStringList{"<b>Up to date</b>", "<b><b>Up to date</b></b>"}));

    QMessageBoxEx empty;
    empty.setInformativeText("only details");
    whenShown<QMessageBox>(&step, answer);
    empty.exec();
    QCOMPARE(seen.last(), QString());
}

void TestMessageBoxes::tightButtonsArePaddedButStandardTextsStay()
{
    QObject step; // the context of this test's answers
    QMessageBoxEx box;
    box.setText("A new version is available!");
    QAbstractButton* later = box.addButton("Remind Me Later", QMessageBox::RejectRole);
    QAbstractButton* go = box.addButton("Go", QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Ok);
    QString laterText, goText, okText;
    whenShown<QMessageBox>(&step, [&](QMessageBox* b) {
        laterText = later->text();
        goText = go->text();
        okText = b->button(QMessageBox::Ok)->text();
        b->button(QMessageBox::Ok)->click();
    });
    box.exec();
    QCOMPARE(laterText, " Remind Me Later ");
    // A short text leaves the button's minimum width with room to spare.
    QCOMPARE(goText, "Go");
    QCOMPARE(okText, "OK");
}

int main(int argc, char** argv)
{
    return runIsolatedTest<TestMessageBoxes, QApplicationEx>(argc, argv, AppArguments::Runner, "Quorbilan");
}

#include "tst_MessageBoxes.moc"
