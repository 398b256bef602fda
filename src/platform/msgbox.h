#pragma once
// Message boxes. Every box of the program goes through MsgBox, which tests replace with a
// scripted responder (see tests/support). The boxes themselves are drawn by a presenter that
// the windows' side of the program installs (UseWidgetMessageBoxes, msgboxwidget.h), so that
// code without windows can ask its questions too.

#include <QList>
#include <QString>
#include <functional>

enum class MsgButtons { OK, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgAnswer { OK, Cancel, Abort, Retry, Ignore, Yes, No };

struct MsgBoxRequest {
    QString text;   // lines joined by carriage returns, as the program builds them
    MsgButtons buttons = MsgButtons::OK;
    MsgIcon icon = MsgIcon::None;
    QString title;  // empty: the application title
    int defaultButton = 1; // 1-based position of the default button
};

// Shows a modal box and returns the answer. An empty title shows the application title.
MsgAnswer MsgBox(const QString &text, MsgButtons buttons = MsgButtons::OK,
                 MsgIcon icon = MsgIcon::None, const QString &title = QString(),
                 int defaultButton = 1);

// Tests install a responder; it sees the request with its title resolved and answers.
// Pass an empty function to restore real boxes.
using MsgBoxResponder = std::function<MsgAnswer(const MsgBoxRequest &)>;
void SetMsgBoxResponder(MsgBoxResponder responder);
// The responder in place (empty when real boxes are shown), so that a test can restore it.
MsgBoxResponder CurrentMsgBoxResponder();
// What shows a box when no responder is installed. Without one (no window system) a box is
// logged as a warning and answered with its default button.
void SetMsgBoxPresenter(MsgBoxResponder presenter);

// The answers of a button set, in the order the buttons stand (defaultButton counts in it).
QList<MsgAnswer> MsgBoxAnswers(MsgButtons buttons);
// The text as a box shows it: carriage returns (alone or before a line feed) become line breaks.
QString MsgBoxDisplayText(const QString &text);

// The application title (the brand's window title), used by boxes and the settings store.
// Until it is set: the application name (the executable's name). Setting it also sets
// QCoreApplication::applicationName when an application object exists.
QString AppTitle();
void SetAppTitle(const QString &title);
