#pragma once

#include <QDialog>

class QPushButton;

// The report box of a crashed run: the message, "Send Report (Recommended)" as
// the default button and "Cancel", right-aligned under a window-coloured
// message area. Neither Esc nor the close box dismisses it: the user decides.
class CrashReportBox : public QDialog
{
    Q_OBJECT

public:
    enum Result { Send = 6, Cancel = 7 };

    // Texts and icon from the crash handler's record, the dump already set there.
    explicit CrashReportBox(QWidget* parent = nullptr);

    QPushButton* sendButton() const { return send; }
    QPushButton* cancelButton() const { return cancel; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QPushButton* send = nullptr;
    QPushButton* cancel = nullptr;
};

// True when argv asks for the report mode of a crashed run.
bool isCrashReportRun(int argc, char** argv);

// The report mode: shows the box for the dump named in argv and mails it on
// request; the result is the process's exit code.
int runCrashReport(int argc, char** argv);
