#pragma once
// A view of the encoder code that records what it is shown instead of showing it: the tests of
// detection, the readers, the writers and the lookup run against it without any window.
//
//   ViewRecorder view;
//   Link().setView(&view);
//   ReadEncoderDB();
//   QCOMPARE(view.panel(1), QStringLiteral("Current View Matches Encoder Configuration"));
//   QVERIFY(view.enabled(Command::Lookup));

#include "encoder/terminalview.h"

#include <QMap>
#include <QString>
#include <QStringList>

class ViewRecorder : public TerminalView {
public:
    using Command = TerminalView::Command;
    using Label = TerminalView::Label;
    using Disc = TerminalView::Disc;

    // What the view shows now.
    QString panel(int number) const { return m_panels.value(number); }
    QString label(Label which) const { return m_labels.value(which); }
    // A command never mentioned counts as enabled when asked for `otherwise`.
    bool enabled(Command command, bool otherwise = false) const { return m_enabled.value(command, otherwise); }
    bool mentioned(Command command) const { return m_enabled.contains(command); }
    bool toolbarEnabled = true;
    Disc front = Disc::NotConnected;
    QString portMenuText, portButtonText, connectedTip, notConnectedTip;
    bool cancelWindowShown = false;
    int consoleCloses = 0;

    // What it was shown, in order.
    QStringList cancelSteps;   // the cancel window's step texts, each time it was shown anew
    QStringList panel1History; // every text panel 1 was given

    void SetPanelText(int panel, const QString &text) override
    {
        m_panels[panel] = text;
        if (panel == 1)
            panel1History << text;
    }
    QString PanelText(int panel) const override { return m_panels.value(panel); }
    void SetLabel(Label which, const QString &text) override { m_labels[which] = text; }
    void SetEnabled(Command command, bool on) override { m_enabled[command] = on; }
    void SetToolbarEnabled(bool on) override
    {
        toolbarEnabled = on;
        for (Command c : {Command::ToolbarSequence, Command::ToolbarGroup, Command::ToolbarProgram,
                          Command::ToolbarRead, Command::ToolbarTest})
            m_enabled[c] = on;
    }
    void SetPortTexts(const QString &menuItem, const QString &button) override
    {
        portMenuText = menuItem;
        portButtonText = button;
    }
    void SetDiscTips(const QString &connected, const QString &notConnected) override
    {
        connectedTip = connected;
        notConnectedTip = notConnected;
    }
    void BringToFront(Disc disc) override { front = disc; }
    void ShowCancelWindow(const QString &step) override
    {
        if (!cancelWindowShown || cancelSteps.isEmpty() || cancelSteps.last() != step)
            cancelSteps << step;
        cancelWindowShown = true;
    }
    void CloseCancelWindow() override { cancelWindowShown = false; }
    void CloseTestConsole() override { ++consoleCloses; }

private:
    QMap<int, QString> m_panels;
    QMap<Label, QString> m_labels;
    QMap<Command, bool> m_enabled;
};
