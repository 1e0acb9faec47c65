// A second process for the front-end tests, for what must run as another
// user: app_test_helper logsave FILE saves a log to FILE and prints the title
// and text of any error box as it shows them.
#include "LogView.h"
#include "ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || args[1] != "logsave") {
        std::fprintf(stderr, "usage: %s logsave FILE\n", argv[0]);
        return 2;
    }
    const QString target = args[2];
    LogView view;
    view.slotAddLine("Compacting", true);
    view.slotAddLine("done", false);
    view.show();

    whenShown<QFileDialog>(qApp, [target](QFileDialog* dialog) {
        whenShown<QMessageBox>(qApp, [](QMessageBox* box) {
            std::printf("title %s\ntext %s\nicon %d\n", qPrintable(box->windowTitle()), qPrintable(shownMainText(box)),
                        int(box->icon()));
            box->button(QMessageBox::Ok)->click();
        });
        dialog->selectFile(target);
        static_cast<QDialog*>(dialog)->accept();
    });
    view.saveToFile();
    std::printf("saved\n");
    return 0;
}
