#pragma once
// Small helpers the settings windows share.

#include "model/state.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace settingsui {

// Sizes the window to its contents and puts it in the middle of the screen.
inline void CentreOnScreen(QWidget *window)
{
    window->adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        window->move(area.left() + (area.width() - window->width()) / 2,
                     area.top() + (area.height() - window->height()) / 2);
    }
}

// Whether the settings dialogs show the encoder's second port: firmware whose version holds "S"
// offers none (also before a detection, with no version yet, both ports show). The settings of
// a port a dialog does not show stay as they are stored.
inline bool SecondPortShown()
{
    return !Run.sFirmwareVer.contains('S');
}

// Selects one option of a group (an array or a vector of buttons), or none for an index outside
// it. Selecting by code sends no click, so no handler runs.
template <class Options>
void SelectOption(const Options &options, int index)
{
    for (int i = 0; i < int(options.size()); ++i) {
        QAbstractButton *option = options[size_t(i)];
        if (i == index) {
            option->setChecked(true);
        } else if (option->isChecked()) {
            // An option group keeps one option on; clearing the last one takes it out of the
            // group for a moment.
            const bool exclusive = option->autoExclusive();
            option->setAutoExclusive(false);
            option->setChecked(false);
            option->setAutoExclusive(exclusive);
        }
    }
}

} // namespace settingsui
