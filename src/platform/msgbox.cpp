#include "platform/msgbox.h"

#include <QCoreApplication>
#include <QtDebug>

namespace {

MsgBoxResponder &responder()
{
    static MsgBoxResponder r;
    return r;
}

MsgBoxResponder &presenter()
{
    static MsgBoxResponder p;
    return p;
}

QString &appTitle()
{
    static QString t;
    return t;
}

QList<MsgAnswer> answersOf(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OK: return {MsgAnswer::OK};
    case MsgButtons::OKCancel: return {MsgAnswer::OK, MsgAnswer::Cancel};
    case MsgButtons::AbortRetryIgnore: return {MsgAnswer::Abort, MsgAnswer::Retry, MsgAnswer::Ignore};
    case MsgButtons::YesNoCancel: return {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Cancel};
    case MsgButtons::YesNo: return {MsgAnswer::Yes, MsgAnswer::No};
    case MsgButtons::RetryCancel: return {MsgAnswer::Retry, MsgAnswer::Cancel};
    }
    return {MsgAnswer::OK};
}

} // namespace

QList<MsgAnswer> MsgBoxAnswers(MsgButtons buttons)
{
    return answersOf(buttons);
}

QString MsgBoxDisplayText(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

MsgAnswer MsgBox(const QString &text, MsgButtons buttons, MsgIcon icon, const QString &title,
                 int defaultButton)
{
    MsgBoxRequest request;
    request.text = text;
    request.buttons = buttons;
    request.icon = icon;
    request.title = title.isEmpty() ? AppTitle() : title;
    request.defaultButton = defaultButton;

    const QList<MsgAnswer> answers = answersOf(buttons);
    const int defaultIndex =
        (defaultButton >= 1 && defaultButton <= answers.size()) ? defaultButton - 1 : 0;

    if (responder()) {
        // A copy: the responder may replace itself while it answers.
        const MsgBoxResponder r = responder();
        return r(request);
    }

    if (presenter())
        return presenter()(request);

    qWarning().noquote() << "MsgBox without a window system:" << request.title << "-"
                         << MsgBoxDisplayText(text);
    return answers.value(defaultIndex);
}

void SetMsgBoxResponder(MsgBoxResponder r)
{
    responder() = std::move(r);
}

MsgBoxResponder CurrentMsgBoxResponder()
{
    return responder();
}

void SetMsgBoxPresenter(MsgBoxResponder p)
{
    presenter() = std::move(p);
}

QString AppTitle()
{
    if (!appTitle().isEmpty())
        return appTitle();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationName();
    return QString();
}

void SetAppTitle(const QString &title)
{
    appTitle() = title;
    if (QCoreApplication::instance() && !title.isEmpty())
        QCoreApplication::setApplicationName(title);
}
