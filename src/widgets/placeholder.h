#pragma once
// The plain body of a window whose full version comes later: a picture-less note saying what
// the window will offer, and a Close button.

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>

inline QPushButton *BuildPlaceholder(QWidget *window, const QString &caption, const QString &note,
                                     std::function<void()> onClose)
{
    window->setWindowTitle(caption);
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(18, 16, 18, 12);
    auto *text = new QLabel(note, window);
    text->setObjectName(QStringLiteral("lblNote"));
    text->setWordWrap(true);
    text->setMinimumWidth(320);
    layout->addWidget(text);
    auto *box = new QDialogButtonBox(window);
    QPushButton *close = box->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdClose"));
    QObject::connect(close, &QPushButton::clicked, window, [onClose] { onClose(); });
    layout->addWidget(box);
    return close;
}
