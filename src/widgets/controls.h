#pragma once
// Small controls of the main window: a clickable picture or label, a toolbar whose buttons are
// addressed by position and key, a status bar with numbered panels and the notes box.

#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QToolBar>

class QAction;

// A label or picture that reports a click (press and release on it). It takes every mouse
// press, so a click on it never reaches the window below.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(QWidget *parent = nullptr);
signals:
    void clicked();
protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
private:
    bool m_pressed = false;
};

// A toolbar whose buttons are addressed by their position, 1 to ButtonCount() (a separator
// counts as a position), or by their key.
class ButtonToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit ButtonToolBar(QWidget *parent = nullptr);

    QAction *addSeparatorButton();
    QAction *addButton(const QString &key, const QString &caption, const QIcon &icon);

    int ButtonCount() const;
    QAction *Buttons(int position) const;   // nullptr outside 1..ButtonCount()
    QAction *ButtonByKey(const QString &key) const;
    static QString Key(const QAction *button);
    void setAllButtonsEnabled(bool enabled); // every button, first to last

signals:
    void ButtonClick(const QString &key);

private:
    QList<QAction *> m_buttons;
};

// A status bar with numbered text panels (1 = the wide one on the left).
class PanelStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit PanelStatusBar(int panels, QWidget *parent = nullptr);
    QLabel *Panels(int number) const;
    void setPanelText(int number, const QString &text);
    QString panelText(int number) const;
private:
    QList<QLabel *> m_panels;
};

// A one-line text box for the configuration notes: the operator types at most maxChars
// Latin-1 characters and no line breaks (a pasted break becomes a blank). A longer text that
// the program puts in (from a file) is kept whole; the limit then follows the text down as the
// operator shortens it.
class NotesBox : public QLineEdit {
    Q_OBJECT
public:
    explicit NotesBox(int maxChars, QWidget *parent = nullptr);
    void setNotes(const QByteArray &bytes);
    QByteArray notes() const;
private:
    int m_limit;
};
