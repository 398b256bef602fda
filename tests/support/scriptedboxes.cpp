#include "support/scriptedboxes.h"

#include <QtTest>

#include <algorithm>
#include <vector>

QString msgButtonsName(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OK: return QStringLiteral("OK");
    case MsgButtons::OKCancel: return QStringLiteral("OKCancel");
    case MsgButtons::AbortRetryIgnore: return QStringLiteral("AbortRetryIgnore");
    case MsgButtons::YesNoCancel: return QStringLiteral("YesNoCancel");
    case MsgButtons::YesNo: return QStringLiteral("YesNo");
    case MsgButtons::RetryCancel: return QStringLiteral("RetryCancel");
    }
    return QStringLiteral("?");
}

QString msgIconName(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None: return QStringLiteral("None");
    case MsgIcon::Critical: return QStringLiteral("Critical");
    case MsgIcon::Question: return QStringLiteral("Question");
    case MsgIcon::Exclamation: return QStringLiteral("Exclamation");
    case MsgIcon::Information: return QStringLiteral("Information");
    }
    return QStringLiteral("?");
}

QString msgAnswerName(MsgAnswer answer)
{
    switch (answer) {
    case MsgAnswer::OK: return QStringLiteral("OK");
    case MsgAnswer::Cancel: return QStringLiteral("Cancel");
    case MsgAnswer::Abort: return QStringLiteral("Abort");
    case MsgAnswer::Retry: return QStringLiteral("Retry");
    case MsgAnswer::Ignore: return QStringLiteral("Ignore");
    case MsgAnswer::Yes: return QStringLiteral("Yes");
    case MsgAnswer::No: return QStringLiteral("No");
    }
    return QStringLiteral("?");
}

char *toString(MsgButtons buttons)
{
    return qstrdup(msgButtonsName(buttons).toUtf8().constData());
}

char *toString(MsgIcon icon)
{
    return qstrdup(msgIconName(icon).toUtf8().constData());
}

char *toString(MsgAnswer answer)
{
    return qstrdup(msgAnswerName(answer).toUtf8().constData());
}

namespace {
QString describe(const MsgBoxRequest &r)
{
    QString text = r.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\\r\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QStringLiteral("title \"%1\", text \"%2\", buttons %3, icon %4")
        .arg(r.title, text, msgButtonsName(r.buttons), msgIconName(r.icon));
}

// Cancel, else No, else the first button.
MsgAnswer fallbackAnswer(MsgButtons buttons)
{
    const QList<MsgAnswer> answers = MsgBoxAnswers(buttons);
    if (answers.contains(MsgAnswer::Cancel))
        return MsgAnswer::Cancel;
    if (answers.contains(MsgAnswer::No))
        return MsgAnswer::No;
    return answers.value(0, MsgAnswer::OK);
}

// The scripts alive, in the order they began.
std::vector<ScriptedBoxes *> &liveScripts()
{
    static std::vector<ScriptedBoxes *> scripts;
    return scripts;
}
} // namespace

// What a script installs: it answers from the script while the script lives. A copy that
// outlives its script (kept by something the script does not know of) answers as to a box
// nobody scripted, and says so.
class ScriptedBoxes::Responder {
public:
    explicit Responder(std::shared_ptr<ScriptedBoxes *> script) : m_script(std::move(script)) {}

    MsgAnswer operator()(const MsgBoxRequest &request) const
    {
        if (ScriptedBoxes *script = *m_script)
            return script->respond(request);
        const MsgAnswer answer = fallbackAnswer(request.buttons);
        const QByteArray message = QStringLiteral("Message box after its script ended (%1); answered %2")
                                       .arg(describe(request), msgAnswerName(answer))
                                       .toUtf8();
        if (QTest::currentTestFunction() != nullptr)
            QTest::qFail(message.constData(), __FILE__, __LINE__);
        else
            qWarning("%s", message.constData());
        return answer;
    }
    ScriptedBoxes *script() const { return *m_script; }

private:
    std::shared_ptr<ScriptedBoxes *> m_script;
};

ScriptedBoxes *ScriptedBoxes::scriptOf(const MsgBoxResponder &r)
{
    const Responder *responder = r.target<Responder>();
    return responder ? responder->script() : nullptr;
}

ScriptedBoxes::ScriptedBoxes(FailureMode mode) : m_mode(mode), m_self(std::make_shared<ScriptedBoxes *>(this))
{
    m_previous = CurrentMsgBoxResponder();
    SetMsgBoxResponder(Responder(m_self));
    liveScripts().push_back(this);
}

ScriptedBoxes::~ScriptedBoxes()
{
    // Out of the chain of responders: a script that began after this one puts back what was in
    // place before this one, and the responder in place goes back only when it is this one's
    // (a later script's goes on answering).
    std::vector<ScriptedBoxes *> &live = liveScripts();
    live.erase(std::find(live.begin(), live.end(), this));
    for (ScriptedBoxes *later : live)
        if (scriptOf(later->m_previous) == this)
            later->m_previous = m_previous;
    if (scriptOf(CurrentMsgBoxResponder()) == this)
        SetMsgBoxResponder(m_previous);
    *m_self = nullptr;
    if (!m_verified && m_mode == FailTest && !QTest::currentTestFailed()
        && QTest::currentTestFunction() != nullptr)
        verifyAllShown();
}

ScriptedBoxes::Entry &ScriptedBoxes::expect(const QString &textContains, MsgAnswer answer)
{
    m_verified = false;
    Entry e;
    e.m_text = textContains;
    e.m_answer = answer;
    m_script.push_back(std::move(e));
    return m_script.back();
}

QStringList ScriptedBoxes::texts() const
{
    QStringList out;
    for (const ShownBox &b : m_shown)
        out << b.text;
    return out;
}

int ScriptedBoxes::pending() const
{
    return int(m_script.size() - m_next);
}

void ScriptedBoxes::fail(const QString &message)
{
    m_failures << message;
    if (m_mode == FailTest) {
        const QByteArray text = message.toUtf8();
        QTest::qFail(text.constData(), __FILE__, __LINE__);
    }
}

MsgAnswer ScriptedBoxes::respond(const MsgBoxRequest &request)
{
    ShownBox box;
    box.title = request.title;
    box.text = request.text;
    box.buttons = request.buttons;
    box.icon = request.icon;
    box.defaultButton = request.defaultButton;

    Entry *entry = m_next < m_script.size() ? &m_script[m_next] : nullptr;
    QStringList mismatch;
    if (!entry) {
        mismatch << QStringLiteral("no box is scripted");
    } else {
        if (!request.text.contains(entry->m_text))
            mismatch << QStringLiteral("expected a text containing \"%1\"").arg(entry->m_text);
        if (entry->m_title && *entry->m_title != request.title)
            mismatch << QStringLiteral("expected the title \"%1\"").arg(*entry->m_title);
        if (entry->m_buttons && *entry->m_buttons != request.buttons)
            mismatch << QStringLiteral("expected the buttons %1").arg(msgButtonsName(*entry->m_buttons));
        if (entry->m_icon && *entry->m_icon != request.icon)
            mismatch << QStringLiteral("expected the icon %1").arg(msgIconName(*entry->m_icon));
        if (entry->m_default && *entry->m_default != request.defaultButton)
            mismatch << QStringLiteral("expected default button %1, got %2")
                            .arg(*entry->m_default)
                            .arg(request.defaultButton);
    }

    if (!mismatch.isEmpty()) {
        box.answer = fallbackAnswer(request.buttons);
        m_shown << box;
        fail(QStringLiteral("Unexpected message box (%1): %2; answered %3")
                 .arg(mismatch.join(QStringLiteral("; ")), describe(request),
                      msgAnswerName(box.answer)));
        return box.answer;
    }

    ++m_next;
    entry->m_shown = true;
    box.scripted = true;
    box.answer = entry->m_answer;
    if (!MsgBoxAnswers(request.buttons).contains(entry->m_answer)) {
        const MsgAnswer fallback = fallbackAnswer(request.buttons);
        fail(QStringLiteral("Scripted answer %1 is not a button of the box (%2); answered %3")
                 .arg(msgAnswerName(entry->m_answer), describe(request), msgAnswerName(fallback)));
        box.answer = fallback;
    }
    m_shown << box;
    if (entry->m_action) {
        const auto action = entry->m_action;
        action();
    }
    return box.answer;
}

bool ScriptedBoxes::verifyAllShown()
{
    m_verified = true;
    QStringList missing;
    for (size_t i = m_next; i < m_script.size(); ++i)
        missing << QStringLiteral("\"%1\"").arg(m_script[i].m_text);
    if (missing.isEmpty())
        return true;
    fail(QStringLiteral("Scripted message boxes never shown: %1").arg(missing.join(QStringLiteral(", "))));
    return false;
}

void ScriptedBoxes::reset()
{
    m_script.clear();
    m_next = 0;
    m_shown.clear();
    m_verified = false;
}
