#include "Browser.h"
#include "BrowsersList.h"
#include "IsolatedTestMain.h"
#include "ModalDriver.h"
#include "PathItemDelegate.h"
#include "ProfilesTree.h"
#include "ProfileTreeItem.h"
#include "ProgramFixture.h"
#include "SqliteFixture.h"

#include <QDesktopServices>
#include <QFile>
#include <QHeaderView>
#include <QMimeData>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include "UrlCatcher.h"

#include <memory>

using namespace TestSupport;

class TestProfilesTree : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void columnsAndGroupRows();
    void profileRowsShowCountsAndSizes();
    void groupFollowsItsProfiles_data();
    void groupFollowsItsProfiles();
    void userTicksSignalOncePerChange();
    void treeOwnChangesDoNotSignal();
    void checkedProfilesInTreeOrder();
    void selectProfileMakesItCurrent();
    void contextMenuPerRowKind_data();
    void contextMenuPerRowKind();
    void contextMenuActions();
    void drops_data();
    void drops();
    void elidePathKeepsTheLastName_data();
    void elidePathKeepsTheLastName();
    void screenshotOfAFilledTree();

private:
    QTreeWidgetItem* group(const QString& name) const;
    ProfileTreeItem* row(const QString& groupName, int index) const;
    void clickCheckBox(QTreeWidgetItem* item);

    QTemporaryDir dir;
    std::unique_ptr<ProgramFixture> fixture;
    std::unique_ptr<BrowsersList> list;
    std::unique_ptr<ProfilesTree> tree;
    BrowserProfile* emptyProfile = nullptr;
    BrowserProfile* customProfile = nullptr;
    UrlCatcher catcher;
};

namespace {

bool writeIcon(const QString& file, const QColor& colour)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(colour);
    return image.save(file);
}

// Makes a program findable the way the desktop makes it: an executable on
// PATH and a menu entry with an icon.
bool installProgram(const QString& root, const QString& executable, const QString& name, const QColor& colour)
{
    const QString bin = root + "/bin/" + executable;
    const QString icon = root + "/icons/" + executable + ".png";
    QDir().mkpath(root + "/bin");
    QDir().mkpath(root + "/icons");
    const QString applications = qEnvironmentVariable("XDG_DATA_HOME") + "/applications";
    QDir().mkpath(applications);
    const QByteArray entry
        = QString("[Desktop Entry]\nType=Application\nName=%1\nExec=%2 %u\nIcon=%3\n").arg(name, bin, icon).toUtf8();
    return writeFile(bin, "#!/bin/sh\n")
        && QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) && writeIcon(icon, colour)
        && writeFile(applications + "/" + executable + ".desktop", entry);
}

QColor iconColour(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage().pixelColor(8, 8);
}

} // namespace

void TestProfilesTree::initTestCase()
{
    QVERIFY(dir.isValid());
    fixture = std::make_unique<ProgramFixture>(dir.filePath("programs"));
    QVERIFY(fixture->buildStandardTree());
    fixture->setEnvironment();
    const QString installed = dir.filePath("installed");
    QVERIFY(installProgram(installed, "firefox", "Firefox", Qt::red));
    QVERIFY(installProgram(installed, "chrome", "Google Chrome", Qt::blue));
    qputenv("PATH", (installed + "/bin:" + qEnvironmentVariable("PATH")).toUtf8());
    QDesktopServices::setUrlHandler("file", &catcher, "openUrl");
}

void TestProfilesTree::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler("file");
}

void TestProfilesTree::init()
{
    list = std::make_unique<BrowsersList>();
    list->reloadAll();
    // A program profile whose folder holds no database yet.
    const QString empty = dir.filePath("programs/Roaming/Waterfox/Profiles/empty.profile");
    QVERIFY(QDir().mkpath(empty));
    Browser* waterfox = list->browsersWithProfiles().at(1);
    QCOMPARE(waterfox->name(), "Waterfox");
    emptyProfile = waterfox->addProfile("empty", empty);
    // A folder of the user's own, with a database and no program's layout.
    const QString custom = dir.filePath("My Data & Co/archive");
    QDir(custom).removeRecursively();
    QVERIFY(QDir().mkpath(custom));
    QVERIFY(createBloatedDatabase(custom + "/notes.sqlite", 200, 512, 20));
    customProfile = list->addCustomProfile(custom);
    QVERIFY(customProfile);
    list->loadDatabaseLists();

    tree = std::make_unique<ProfilesTree>();
    tree->resize(1000, 700);
    tree->populate(list.get());
    tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(tree.get()));
    catcher.opened.clear();
}

void TestProfilesTree::cleanup()
{
    tree.reset();
    list.reset();
}

QTreeWidgetItem* TestProfilesTree::group(const QString& name) const
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->text(0) == name)
            return tree->topLevelItem(i);
    }
    return nullptr;
}

ProfileTreeItem* TestProfilesTree::row(const QString& groupName, int index) const
{
    QTreeWidgetItem* g = group(groupName);
    return g ? dynamic_cast<ProfileTreeItem*>(g->child(index)) : nullptr;
}

// Clicks where the style draws the item's check box, as the user would.
void TestProfilesTree::clickCheckBox(QTreeWidgetItem* item)
{
    tree->scrollToItem(item);
    const QRect cell = tree->visualRect(tree->indexFromItem(item, 0));
    QStyle* style = tree->style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree.get()) + 1;
    const int x = cell.left() + margin + style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, tree.get()) / 2;
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, cell.center().y()));
}

void TestProfilesTree::columnsAndGroupRows()
{
    QTreeWidgetItem* header = tree->headerItem();
    QCOMPARE(header->columnCount(), 4);
    QCOMPARE((QStringList{header->text(0), header->text(1), header->text(2), header->text(3)}),
             (QStringList{"Name", "Path", "Databases", "Size"}));
    QVERIFY(!tree->header()->stretchLastSection());
    QCOMPARE(tree->header()->sectionResizeMode(1), QHeaderView::Stretch);
    for (int column : {0, 2, 3})
        QCOMPARE(tree->header()->sectionResizeMode(column), QHeaderView::ResizeToContents);
    QVERIFY(tree->acceptDrops());
    QCOMPARE(tree->selectionMode(), QAbstractItemView::SingleSelection);

    // One bold, tickable group per program with profiles, in program order, then the custom group.
    QStringList expectedGroups;
    for (Browser* browser : list->browsersWithProfiles())
        expectedGroups << browser->name();
    expectedGroups << "Custom profiles";
    QCOMPARE(expectedGroups.size(), 31);
    QStringList groups;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tree->topLevelItem(i);
        groups << item->text(0);
        QCOMPARE(item->font(0).weight(), QFont::Bold);
        QVERIFY(item->flags().testFlag(Qt::ItemIsUserCheckable));
        QVERIFY(item->isExpanded());
        QVERIFY(item->text(1).isEmpty() && item->text(2).isEmpty() && item->text(3).isEmpty());
    }
    QCOMPARE(groups, expectedGroups);

    // Programs show their own icon; the custom group and profile rows a folder.
    QCOMPARE(iconColour(group("Firefox")->icon(0)), QColor(Qt::red));
    QCOMPARE(iconColour(group("Chrome")->icon(0)), QColor(Qt::blue));
    QCOMPARE(group("Custom profiles")->icon(0).cacheKey(), folderIcon().cacheKey());
    QCOMPARE(row("Firefox", 0)->icon(0).cacheKey(), folderIcon().cacheKey());
    QVERIFY(!folderIcon().isNull());
}

void TestProfilesTree::profileRowsShowCountsAndSizes()
{
    // Each group lists its program's profiles in the program's order.
    const Browser* firefox = list->browsersWithProfiles().front();
    QTreeWidgetItem* firefoxGroup = group("Firefox");
    QCOMPARE(size_t(firefoxGroup->childCount()), firefox->profiles().size());
    for (int i = 0; i < firefoxGroup->childCount(); ++i) {
        auto* item = dynamic_cast<ProfileTreeItem*>(firefoxGroup->child(i));
        QVERIFY(item);
        BrowserProfile* profile = firefox->profiles()[size_t(i)].get();
        QCOMPARE(item->profile, profile);
        QCOMPARE(item->text(0), profile->displayName());
        QCOMPARE(item->text(1), QDir::toNativeSeparators(profile->path));
        QCOMPARE(item->text(2), QString::number(profile->databases().size()));
        QCOMPARE(item->text(3),
                 QLocale().formattedDataSize(profile->totalSize(), 1, QLocale::DataSizeTraditionalFormat));
        QCOMPARE(item->textAlignment(2), int(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(item->textAlignment(3), int(Qt::AlignRight | Qt::AlignVCenter));
        QVERIFY(item->flags().testFlag(Qt::ItemIsUserCheckable));
    }

    // A titled profile shows its title.
    ProfileTreeItem* brave = row("Brave", 0);
    QCOMPARE(brave->text(0), "Default (Person 1)");

    // No databases: "-" in both columns.
    ProfileTreeItem* empty = row("Waterfox", 1);
    QCOMPARE(empty->profile, emptyProfile);
    QCOMPARE(empty->text(2), "-");
    QCOMPARE(empty->text(3), "-");

    ProfileTreeItem* custom = row("Custom profiles", 0);
    QCOMPARE(custom->profile, customProfile);
    QCOMPARE(custom->text(0), "archive");
    QCOMPARE(custom->text(1), QDir::toNativeSeparators(dir.filePath("My Data & Co/archive")));
    QCOMPARE(custom->text(2), "1");
    QCOMPARE(custom->text(3),
             QLocale().formattedDataSize(QFileInfo(customProfile->databases().first()).size(), 1,
                                         QLocale::DataSizeTraditionalFormat));
}

void TestProfilesTree::groupFollowsItsProfiles_data()
{
    QTest::addColumn<QList<bool>>("ticks");
    QTest::addColumn<int>("state");
    QTest::newRow("none ticked") << QList<bool>{false, false, false, false} << int(Qt::Unchecked);
    QTest::newRow("some ticked") << QList<bool>{false, true, false, true} << int(Qt::PartiallyChecked);
    QTest::newRow("one unticked") << QList<bool>{true, true, false, true} << int(Qt::PartiallyChecked);
    QTest::newRow("all ticked") << QList<bool>{true, true, true, true} << int(Qt::Checked);
}

void TestProfilesTree::groupFollowsItsProfiles()
{
    QFETCH(QList<bool>, ticks);
    QFETCH(int, state);
    const Browser* firefox = list->browsersWithProfiles().front();
    QCOMPARE(firefox->profiles().size(), size_t(ticks.size()));
    int ticked = 0;
    for (auto& profile : list->allProfiles())
        ticked += profile->selected ? 1 : 0;
    for (int i = 0; i < ticks.size(); ++i) {
        ticked += (ticks[i] ? 1 : 0) - (firefox->profiles()[size_t(i)]->selected ? 1 : 0);
        firefox->profiles()[size_t(i)]->selected = ticks[i];
    }

    QSignalSpy counts(tree.get(), &ProfilesTree::checkedCountChanged);
    tree->populate(list.get());
    QCOMPARE(group("Firefox")->checkState(0), Qt::CheckState(state));
    for (int i = 0; i < ticks.size(); ++i) {
        QCOMPARE(row("Firefox", i)->checkState(0), ticks[i] ? Qt::Checked : Qt::Unchecked);
        // Building the rows changes no flag.
        QCOMPARE(firefox->profiles()[size_t(i)]->selected, ticks[i]);
    }
    QCOMPARE(counts.size(), 1);
    QCOMPARE(counts.first().first().toInt(), ticked);
    QCOMPARE(tree->checkedCount(), ticked);
}

void TestProfilesTree::userTicksSignalOncePerChange()
{
    const int all = tree->checkedCount();
    QCOMPARE(size_t(all), list->allProfiles().size());
    QSignalSpy counts(tree.get(), &ProfilesTree::checkedCountChanged);

    // Unticking one profile: its flag follows, the group becomes half-ticked.
    ProfileTreeItem* second = row("Firefox", 1);
    clickCheckBox(second);
    QCOMPARE(second->checkState(0), Qt::Unchecked);
    QVERIFY(!second->profile->selected);
    QCOMPARE(group("Firefox")->checkState(0), Qt::PartiallyChecked);
    QCOMPARE(counts.size(), 1);
    QCOMPARE(counts.takeFirst().first().toInt(), all - 1);

    // A click on the half-ticked group ticks all of its profiles.
    clickCheckBox(group("Firefox"));
    QCOMPARE(group("Firefox")->checkState(0), Qt::Checked);
    for (int i = 0; i < group("Firefox")->childCount(); ++i) {
        QCOMPARE(row("Firefox", i)->checkState(0), Qt::Checked);
        QVERIFY(row("Firefox", i)->profile->selected);
    }
    QCOMPARE(counts.size(), 1);
    QCOMPARE(counts.takeFirst().first().toInt(), all);

    // Unticking the group unticks every profile, with a single signal.
    const int firefoxCount = group("Firefox")->childCount();
    clickCheckBox(group("Firefox"));
    QCOMPARE(group("Firefox")->checkState(0), Qt::Unchecked);
    for (int i = 0; i < firefoxCount; ++i)
        QVERIFY(!row("Firefox", i)->profile->selected);
    QCOMPARE(counts.size(), 1);
    QCOMPARE(counts.takeFirst().first().toInt(), all - firefoxCount);

    // Ticking the last profile of a group ticks the group.
    ProfileTreeItem* custom = row("Custom profiles", 0);
    clickCheckBox(custom);
    QCOMPARE(group("Custom profiles")->checkState(0), Qt::Unchecked);
    clickCheckBox(custom);
    QCOMPARE(group("Custom profiles")->checkState(0), Qt::Checked);
    QCOMPARE(counts.size(), 2);
}

void TestProfilesTree::treeOwnChangesDoNotSignal()
{
    QSignalSpy counts(tree.get(), &ProfilesTree::checkedCountChanged);
    // The database grows and a new one appears: a refresh shows the new size
    // but keeps the count of the files listed by the loader.
    const QString database = customProfile->databases().first();
    QVERIFY(createBloatedDatabase(QFileInfo(database).path() + "/later.sqlite", 10, 10, 10));
    const qint64 before = QFileInfo(database).size();
    QFile file(database);
    QVERIFY(file.open(QIODevice::Append));
    file.write(QByteArray(4 * 1024 * 1024, '\0'));
    file.close();
    QVERIFY(QFileInfo(database).size() > before);
    tree->refreshSizes();
    ProfileTreeItem* custom = row("Custom profiles", 0);
    QCOMPARE(custom->text(2), "1");
    QCOMPARE(custom->text(3),
             QLocale().formattedDataSize(QFileInfo(database).size(), 1, QLocale::DataSizeTraditionalFormat));
    tree->updateParentCheckState(group("Firefox"));
    tree->storeCheckStates();
    tree->selectProfile(customProfile);
    QCOMPARE(counts.size(), 0);
}

void TestProfilesTree::checkedProfilesInTreeOrder()
{
    // Ticks set on the rows (as a user leaves them) reach the flags through storeCheckStates.
    for (BrowserProfile* profile : list->allProfiles())
        profile->selected = false;
    tree->storeCheckStates();
    std::vector<BrowserProfile*> expected = list->allProfiles();
    QCOMPARE(tree->checkedProfiles(), expected);
    for (BrowserProfile* profile : expected)
        QVERIFY(profile->selected);

    clickCheckBox(group("Chrome"));
    std::vector<BrowserProfile*> withoutChrome;
    for (BrowserProfile* profile : expected) {
        if (!profile->browser || profile->browser->name() != "Chrome")
            withoutChrome.push_back(profile);
    }
    QCOMPARE(tree->checkedProfiles(), withoutChrome);
    QCOMPARE(tree->checkedCount(), int(withoutChrome.size()));
}

void TestProfilesTree::selectProfileMakesItCurrent()
{
    tree->scrollToTop();
    tree->selectProfile(customProfile);
    QCOMPARE(tree->currentItem(), row("Custom profiles", 0));
    QVERIFY(tree->viewport()->rect().contains(tree->visualItemRect(tree->currentItem())));
    tree->selectProfile(nullptr);
    QCOMPARE(tree->currentItem(), row("Custom profiles", 0));
}

void TestProfilesTree::contextMenuPerRowKind_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("program's profile") << "profile" << QStringList{"Browse folder..."};
    QTest::newRow("custom profile") << "custom" << QStringList{"Browse folder...", "Remove"};
    QTest::newRow("custom group") << "custom group" << QStringList{"Add custom profile..."};
    QTest::newRow("empty space") << "empty" << QStringList{"Add custom profile..."};
    QTest::newRow("program's group") << "program group" << QStringList{};
}

void TestProfilesTree::contextMenuPerRowKind()
{
    QFETCH(QString, where);
    QFETCH(QStringList, entries);
    QTreeWidgetItem* item = nullptr;
    if (where == "profile")
        item = row("Chrome", 0);
    else if (where == "custom")
        item = row("Custom profiles", 0);
    else if (where == "custom group")
        item = group("Custom profiles");
    else if (where == "program group")
        item = group("Chrome");
    QPoint pos;
    if (item) {
        tree->scrollToItem(item);
        pos = tree->visualItemRect(item).center();
    } else {
        tree->scrollToBottom();
        pos = QPoint(20, tree->viewport()->height() - 5);
        QVERIFY(!tree->itemAt(pos));
    }

    QStringList shown;
    bool menuShown = false;
    whenShown<QMenu>(tree.get(), [&](QMenu* menu) {
        menuShown = true;
        for (const MenuEntry& entry : menuEntries(menu))
            shown << entry.text;
        chooseEntry(menu, QString());
    });
    requestContextMenu(tree.get(), pos);
    QCoreApplication::processEvents();
    QCOMPARE(menuShown, !entries.isEmpty());
    QCOMPARE(shown, entries);
    // Where no menu belongs, the answer for one is still waiting.
    PendingAnswer::dropWaiting(tree.get());
}

void TestProfilesTree::contextMenuActions()
{
    QList<BrowserProfile*> removes;
    connect(tree.get(), &ProfilesTree::removeCustomProfileRequested, this,
            [&removes](BrowserProfile* profile) { removes << profile; });
    QSignalSpy adds(tree.get(), &ProfilesTree::addCustomProfileRequested);
    const auto choose = [this](QTreeWidgetItem* item, const QString& entry) {
        tree->scrollToItem(item);
        whenShown<QMenu>(tree.get(), [entry](QMenu* menu) { chooseEntry(menu, entry); });
        requestContextMenu(tree.get(), tree->visualItemRect(item).center());
    };

    choose(row("Custom profiles", 0), "Remove");
    QCOMPARE(removes.size(), 1);
    QCOMPARE(removes.first(), customProfile);

    choose(group("Custom profiles"), "Add custom profile...");
    QCOMPARE(adds.size(), 1);

    // No file manager here: the profile's parent folder opens, with the profile in it.
    ProfileTreeItem* chrome = row("Chrome", 0);
    choose(chrome, "Browse folder...");
    QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(chrome->profile->path).path())});

    // Dismissing does nothing.
    choose(row("Custom profiles", 0), QString());
    QCOMPARE(removes.size(), 1);
    QCOMPARE(adds.size(), 1);
}

void TestProfilesTree::drops_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<bool>("accepted");
    const QString folder = dir.filePath("drop/Profile One");
    const QString other = dir.filePath("drop/Profile Two");
    const QString file = dir.filePath("drop/Profile One/History");
    QTest::newRow("one folder") << QStringList{folder} << true;
    QTest::newRow("two folders") << QStringList{folder, other} << false;
    QTest::newRow("a file") << QStringList{file} << false;
    QTest::newRow("folder and file") << QStringList{folder, file} << false;
    QTest::newRow("missing folder") << QStringList{dir.filePath("drop/none")} << false;
    QTest::newRow("remote URL") << QStringList{"https://example.com/profile"} << false;
    QTest::newRow("no URLs") << QStringList{} << false;
}

void TestProfilesTree::drops()
{
    QFETCH(QStringList, urls);
    QFETCH(bool, accepted);
    QVERIFY(QDir().mkpath(dir.filePath("drop/Profile One")));
    QVERIFY(QDir().mkpath(dir.filePath("drop/Profile Two")));
    QVERIFY(writeFile(dir.filePath("drop/Profile One/History"), "x"));

    QMimeData data;
    QList<QUrl> list;
    for (const QString& url : urls)
        list << (url.startsWith("https:") ? QUrl(url) : QUrl::fromLocalFile(url));
    if (list.isEmpty())
        data.setText(dir.filePath("drop/Profile One"));
    else
        data.setUrls(list);

    QSignalSpy dropped(tree.get(), &ProfilesTree::customProfileDropped);
    const QPoint pos(50, 50);
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(tree->viewport(), &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDragMoveEvent move(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    move.setAccepted(false);
    QApplication::sendEvent(tree->viewport(), &move);
    QCOMPARE(move.isAccepted(), accepted);
    QDropEvent drop(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QApplication::sendEvent(tree->viewport(), &drop);
    QCOMPARE(drop.isAccepted(), accepted);
    QCOMPARE(dropped.size(), accepted ? 1 : 0);
    if (accepted)
        QCOMPARE(dropped.first().first().toString(), QDir::fromNativeSeparators(urls.first()));
}

void TestProfilesTree::elidePathKeepsTheLastName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("width"); // "fits", "zero", "tail+N" or "N" pixels
    QTest::addColumn<QString>("kind"); // "unchanged", "tail kept", "tail only", "middle"
    const QString unix = "/home/someone/.local/share/Mozilla/Firefox/Profiles/b.default-release";
    const QString win = "C:\\Users\\someone\\AppData\\Local\\Google\\Chrome\\User Data\\Profile 1";
    QTest::newRow("fits") << unix << "fits"
                          << "unchanged";
    QTest::newRow("no room at all") << unix << "zero"
                                    << "unchanged";
    QTest::newRow("slashes, tail fits") << unix << "tail+60"
                                        << "tail kept";
    QTest::newRow("backslashes, tail fits") << win << "tail+60"
                                            << "tail kept";
    // No room left for an ellipsis in front: the last name alone.
    QTest::newRow("tail barely fits") << unix << "tail+1"
                                      << "tail only";
    QTest::newRow("tail wider than the column") << unix << "tail-10"
                                                << "middle";
    QTest::newRow("ends with a separator") << "/home/someone/.local/share/Mozilla/Firefox/"
                                           << "80"
                                           << "middle";
    QTest::newRow("no separator") << "a-very-long-profile-folder-name-without-any-separator"
                                  << "80"
                                  << "middle";
}

void TestProfilesTree::elidePathKeepsTheLastName()
{
    QFETCH(QString, path);
    QFETCH(QString, width);
    QFETCH(QString, kind);
    const QFontMetrics metrics(tree->font());
    const qsizetype sep = qMax(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    const QString tail = path.mid(sep);
    int pixels = 0;
    if (width == "fits")
        pixels = metrics.horizontalAdvance(path);
    else if (width == "zero")
        pixels = 0;
    else if (width.startsWith("tail"))
        pixels = metrics.horizontalAdvance(tail) + width.mid(4).toInt();
    else
        pixels = width.toInt();

    const QString result = elidePath(path, metrics, pixels);
    if (kind == "unchanged" || kind == "tail only") {
        QCOMPARE(result, kind == "unchanged" ? path : tail);
        return;
    }
    QVERIFY2(metrics.horizontalAdvance(result) <= pixels, qPrintable(result));
    QVERIFY2(result.contains(QChar(0x2026)), qPrintable(result));
    QCOMPARE(result.front(), path.front());
    QCOMPARE(result.back(), path.back());
    if (kind == "tail kept") {
        // The front is cut at its end, right before the whole last name.
        QVERIFY2(result.endsWith(QChar(0x2026) + tail), qPrintable(result));
    } else {
        QVERIFY2(!result.endsWith(tail) || tail.size() <= 1, qPrintable(result));
    }
}

void TestProfilesTree::screenshotOfAFilledTree()
{
    // Half-ticked and unticked groups, and a narrow path column.
    clickCheckBox(row("Firefox", 1));
    clickCheckBox(group("Chrome Beta"));
    tree->resize(760, 900);
    tree->setCurrentItem(row("Chrome", 0));
    tree->scrollToTop();
    QCoreApplication::processEvents();
    const QImage shot = tree->grab().toImage();
    const QString file = QCoreApplication::applicationDirPath() + "/profiles-tree.png";
    QVERIFY(shot.save(file));
    QVERIFY(QFileInfo(file).size() > 10000);
    qInfo("screenshot: %s", qPrintable(file));

    // The end of the list, with the custom group.
    tree->scrollToBottom();
    QCoreApplication::processEvents();
    const QString end = QCoreApplication::applicationDirPath() + "/profiles-tree-end.png";
    QVERIFY(tree->grab().save(end));
}

int main(int argc, char** argv)
{
    return runIsolatedTest<TestProfilesTree>(argc, argv);
}

#include "tst_ProfilesTree.moc"
