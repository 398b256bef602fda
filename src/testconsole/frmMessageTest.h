#pragma once
// The message test console: sends test pages into the encoder through the encoder port the PC
// is attached to, in that port's paging protocol, and shows the communications log. Modal;
// while it is open the encoder is out of programming mode and the PC's port runs at the
// attached port's baud and character format; its closing puts the encoder back into
// programming mode at 9600 baud.

#include "paging/console.h"
#include "platform/forms.h"
#include "testconsole/archive.h"

#include <QListWidget>
#include <QPlainTextEdit>

#include <array>
#include <memory>

class PanelStatusBar;
class QAction;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class WindowTimer;
struct PagingProtocol;
struct TestPage;

// The log list: the latest line on top.
class LogListBox : public QListWidget, public LogSink {
    Q_OBJECT
public:
    explicit LogListBox(QWidget *parent = nullptr);
    void InsertTop(const QByteArray &line) override;
    int Count() const override;
    void RemoveBottom() override;
    void SelectTop() override;
};

// What of text may come into a test page's message that has room characters left: each line
// break becomes a blank (a CR LF pair one), characters beyond Latin-1 are left out, and the
// rest is cut at room.
QString AdmitPageText(const QString &text, int room);

// The message box of a test page: the text wraps. It holds one line of at most maxLength
// characters, each of them one byte of the page (Latin-1), however the text comes in (typing,
// an input method, a paste, a drop, the program): a line break becomes a blank, a character
// beyond Latin-1 is left out and what goes past the limit is cut, before the text is ever
// shown. Its text is read as it is held: a non-breaking space (0xA0) stays one.
class PageTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit PageTextBox(QWidget *parent = nullptr);
    int maxLength() const { return m_maxLength; }
    void setMaxLength(int length) { m_maxLength = length; }
    QString text() const;
    QByteArray bytes() const;
    void setBytes(const QByteArray &text);

protected:
    void insertFromMimeData(const QMimeData *source) override;

private:
    int room() const; // characters that may still come in place of the selection
    void admitChange();

    int m_maxLength = 32767;
    QString m_admitted;      // the text as it stood after the last change
    bool m_admitting = false; // admitChange is correcting the text
};

class frmMessageTest : public forms::DialogForm<frmMessageTest>, public PagingConsole {
    Q_OBJECT
public:
    explicit frmMessageTest(QWidget *parent = nullptr);
    ~frmMessageTest() override;

    QLabel *lblPIN = nullptr;
    QLineEdit *txtPIN = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label3 = nullptr;
    PageTextBox *txtMessage = nullptr;
    QLabel *lblMsgLen = nullptr;
    QPushButton *cmdSendMsg = nullptr;
    QLabel *lblFC = nullptr;
    std::array<QRadioButton *, 4> optFC{};       // "A", "B", "C", "D"
    QLabel *lblDataRate = nullptr;
    std::array<QRadioButton *, 3> optDataRate{}; // "512", "1200", "2400"
    QLabel *lblIDAsCap = nullptr;
    QLabel *Label2 = nullptr;
    QListWidget *lb_Archive = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdReplace = nullptr;
    QLabel *Label1 = nullptr;
    LogListBox *lb_log = nullptr;
    QCheckBox *Check1 = nullptr;
    WindowTimer *Timer1 = nullptr; // the senders' reply time-out and the range test's delay
    WindowTimer *Timer2 = nullptr; // the range test's tick, repeating
    PanelStatusBar *StatusBar1 = nullptr;
    QAction *mnuExit = nullptr;
    QAction *mnuRangeTest = nullptr;

    void Form_Load();
    void Form_Unload();
    void txtMessage_Change();
    void txtMessage_KeyPress(int &KeyAscii);
    void txtPIN_Change();
    void Check1_Click();
    void Timer1_Timer();
    void mnuExit_Click();

    // Sending, the range test and the message archive.
    void cmdSendMsg_Click();
    void mnuRangeTest_Click();
    void Timer2_Timer();
    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdReplace_Click();
    void lb_Archive_Click();

    // What the senders use of the console.
    LogSink &LogList() override;
    QByteArray PagerIDText() const override;
    WindowTimer &ReplyTimer() override;

    // Hands a test page to the sender of its protocol.
    void SendPage(const TestPage &page);

    bool bArchiveBusy = false; // the archive list is being changed by code: selecting does nothing

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class RangeSide;
    void shapeForProtocol(const PagingProtocol &protocol, bool idAsCap);
    static void setOptions(QButtonGroup *group, bool enabled, int selected);
    void showArchive(const MessageArchive::Change &change);
    int selectedArchiveRow() const;
    void sayIfLogIncomplete();

    QButtonGroup *m_fcGroup = nullptr;
    QButtonGroup *m_rateGroup = nullptr;
    std::unique_ptr<RangeSide> m_range;        // what the range test uses of the console
    std::unique_ptr<MessageArchive> m_archive; // "messages.dat", from the opening on
    int m_logFailuresBefore = 0;               // the log file's failed writes at the opening
    bool m_logIncompleteSaid = false;          // this opening has said the log file is incomplete
};
