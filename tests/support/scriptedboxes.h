#pragma once
// Scripted message boxes for tests. While a ScriptedBoxes object lives, every MsgBox of the
// program is answered from its script instead of being shown:
//
//   ScriptedBoxes boxes;
//   boxes.expect("Overwrite", MsgAnswer::Yes).title("Save As").buttons(MsgButtons::YesNo);
//   boxes.expect("saved", MsgAnswer::OK).icon(MsgIcon::Information);
//   ... code under test ...
//   boxes.verifyAllShown();                      // or let the destructor check it
//   QCOMPARE(boxes.shown().size(), 2);
//
// Boxes are expected in the order scripted; the next scripted entry must match the box (its
// text contains the entry's text, and the title, buttons and icon match when given). Every box
// is recorded. A box that does not match (or comes after the script has run out) is a failure:
// it is reported with QTest::qFail (message with the box's title and text) and answered
// Cancel, else No, else the box's only or first button, so that the code under test goes on.
// A scripted answer that is not one of the box's buttons is a failure as well.
// Scripted boxes that were never shown make verifyAllShown() (and the destructor, unless the
// test already failed) report a failure.
// The destructor puts back the responder that was in place before (scripts nest). Scripts may
// also end in another order than they began (a fixture replaced by a new one ends after the new
// one began): the script still alive goes on answering, and a responder that is put back is
// never one of a script that has ended.
//
// To test that a failure is reported (without failing the test), construct with
// ScriptedBoxes::RecordFailures: failures are then only collected in failures(), and the
// destructor checks nothing.

#include "platform/msgbox.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class ScriptedBoxes {
public:
    enum FailureMode { FailTest, RecordFailures };

    struct ShownBox {
        QString title;
        QString text;
        MsgButtons buttons = MsgButtons::OK;
        MsgIcon icon = MsgIcon::None;
        int defaultButton = 1;
        MsgAnswer answer = MsgAnswer::OK;
        bool scripted = false; // matched a script entry
    };

    class Entry {
    public:
        Entry &title(const QString &t) { m_title = t; return *this; }
        Entry &buttons(MsgButtons b) { m_buttons = b; return *this; }
        Entry &icon(MsgIcon i) { m_icon = i; return *this; }
        Entry &defaultButton(int position) { m_default = position; return *this; }
        // Runs while the box is "shown", before it is answered.
        Entry &then(std::function<void()> action) { m_action = std::move(action); return *this; }

    private:
        friend class ScriptedBoxes;
        QString m_text;
        MsgAnswer m_answer = MsgAnswer::OK;
        std::optional<QString> m_title;
        std::optional<MsgButtons> m_buttons;
        std::optional<MsgIcon> m_icon;
        std::optional<int> m_default;
        std::function<void()> m_action;
        bool m_shown = false;
    };

    explicit ScriptedBoxes(FailureMode mode = FailTest);
    ~ScriptedBoxes();
    ScriptedBoxes(const ScriptedBoxes &) = delete;
    ScriptedBoxes &operator=(const ScriptedBoxes &) = delete;

    // The next box's text must contain textContains (an empty text matches any box).
    Entry &expect(const QString &textContains, MsgAnswer answer = MsgAnswer::OK);

    const QList<ShownBox> &shown() const { return m_shown; }
    QStringList texts() const;           // the texts of every box shown, in order
    int pending() const;                 // scripted boxes not shown yet
    const QStringList &failures() const { return m_failures; }
    bool failed() const { return !m_failures.isEmpty(); }

    // Reports every scripted box that was not shown; true when all were shown.
    bool verifyAllShown();
    // Forgets the script and the records (the failures stay).
    void reset();

private:
    class Responder;
    // The script whose responder r is; none for any other responder.
    static ScriptedBoxes *scriptOf(const MsgBoxResponder &r);
    MsgAnswer respond(const MsgBoxRequest &request);
    void fail(const QString &message);

    FailureMode m_mode;
    std::deque<Entry> m_script;
    size_t m_next = 0;
    QList<ShownBox> m_shown;
    QStringList m_failures;
    MsgBoxResponder m_previous; // put back when this script ends
    // How its responder reaches it: emptied when it ends, so that no copy of the responder,
    // wherever it was kept, reaches a script that is gone.
    std::shared_ptr<ScriptedBoxes *> m_self;
    bool m_verified = false;
};

// Names for messages: "YesNo", "Exclamation", "Cancel".
QString msgButtonsName(MsgButtons buttons);
QString msgIconName(MsgIcon icon);
QString msgAnswerName(MsgAnswer answer);
// So that QCOMPARE prints these values (found by argument-dependent lookup).
char *toString(MsgButtons buttons);
char *toString(MsgIcon icon);
char *toString(MsgAnswer answer);
