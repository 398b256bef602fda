#include "platform/msgbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QList>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <QtDebug>

namespace {

MsgBoxResponder &responder()
{
    static MsgBoxResponder r;
    return r;
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

QMessageBox::StandardButton toStandard(MsgAnswer a)
{
    switch (a) {
    case MsgAnswer::OK: return QMessageBox::Ok;
    case MsgAnswer::Cancel: return QMessageBox::Cancel;
    case MsgAnswer::Abort: return QMessageBox::Abort;
    case MsgAnswer::Retry: return QMessageBox::Retry;
    case MsgAnswer::Ignore: return QMessageBox::Ignore;
    case MsgAnswer::Yes: return QMessageBox::Yes;
    case MsgAnswer::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon toQtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None: return QMessageBox::NoIcon;
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
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

    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        qWarning().noquote() << "MsgBox without a window system:" << request.title << "-"
                             << MsgBoxDisplayText(text);
        return answers.value(defaultIndex);
    }

    QMessageBox box(toQtIcon(icon), request.title, MsgBoxDisplayText(text),
                    QMessageBox::NoButton, QApplication::activeWindow());
    QList<QPushButton *> pushButtons;
    for (MsgAnswer a : answers)
        pushButtons.append(box.addButton(toStandard(a)));
    box.setDefaultButton(pushButtons.value(defaultIndex));
    if (answers.contains(MsgAnswer::Cancel))
        box.setEscapeButton(box.button(QMessageBox::Cancel));
    else if (answers.size() == 1)
        box.setEscapeButton(static_cast<QAbstractButton *>(pushButtons.first()));

    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    for (int i = 0; i < pushButtons.size(); ++i)
        if (clicked == static_cast<QAbstractButton *>(pushButtons[i]))
            return answers[i];
    // Closed without a button: the escape answer, else the last button.
    if (answers.contains(MsgAnswer::Cancel))
        return MsgAnswer::Cancel;
    return answers.last();
}

void SetMsgBoxResponder(MsgBoxResponder r)
{
    responder() = std::move(r);
}

MsgBoxResponder CurrentMsgBoxResponder()
{
    return responder();
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
