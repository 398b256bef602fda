#include "platform/msgboxwidget.h"

#include "platform/msgbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QtDebug>

namespace {

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

MsgAnswer showBox(const MsgBoxRequest &request)
{
    const QList<MsgAnswer> answers = MsgBoxAnswers(request.buttons);
    const int defaultIndex =
        (request.defaultButton >= 1 && request.defaultButton <= answers.size()) ? request.defaultButton - 1 : 0;

    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        qWarning().noquote() << "MsgBox without a window system:" << request.title << "-"
                             << MsgBoxDisplayText(request.text);
        return answers.value(defaultIndex);
    }

    QMessageBox box(toQtIcon(request.icon), request.title, MsgBoxDisplayText(request.text),
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

} // namespace

void UseWidgetMessageBoxes()
{
    SetMsgBoxPresenter(showBox);
}
