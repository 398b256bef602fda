#pragma once
// What the grid editors (pager families, pager groups, canned messages) share: the cell
// colours, the grid whose current cell the editor keeps itself, the text box laid over a cell
// and its placing, the OK button and the layout, and the keys: their codes, the way they pass
// the window first and the first step of the window's key handler.

#include "platform/forms.h"

#include <QLineEdit>
#include <QTableWidget>

#include <functional>
#include <initializer_list>
#include <optional>

class QPushButton;
class QVBoxLayout;

namespace gridedit {

// Cell colours (red, green, blue).
constexpr unsigned OnGreen = 0x00FF00;        // "ON"
constexpr unsigned OffRed = 0xFF0000;         // "OFF"
constexpr unsigned ActiveIvory = 0xFFFFF5;    // an editable cell of a record in use
constexpr unsigned InactiveGrey = 0xC0C0C0;   // a record switched off, an empty message
constexpr unsigned UndefinedGrey = 0x808080;  // a record never defined (the grid's background)
constexpr unsigned IncompleteMagenta = 0xFF00FF;
constexpr unsigned CorrectedCyan = 0x00FFFF;  // a value a check corrected
constexpr unsigned GridLines = 0xE0E0E0;

QColor Colour(unsigned value);

// Key codes of the keys the editors' key handlers use.
constexpr int KeyTab = 9;
constexpr int KeyEnter = 13;
constexpr int KeyLeft = 37;
constexpr int KeyUp = 38;
constexpr int KeyRight = 39;
constexpr int KeyDown = 40;
constexpr int KeyF1 = 112;

// The key code of a Qt key (Shift+Tab counts as Tab), or -1 for a key the editors do not use.
int KeyCodeOf(int qtKey);
// Tab, Enter and the four arrows: the keys that move an editor's current cell.
constexpr bool IsNavigationKey(int keyCode)
{
    return keyCode == KeyTab || keyCode == KeyEnter || (keyCode >= KeyLeft && keyCode <= KeyDown);
}

// The first step of an editor's key handler (Form_KeyDown): F1 opens the help manual and is
// taken; a key that moves the current cell (IsNavigationKey) is taken (KeyCode becomes 0) and
// returned. Any other key is left to the control that has the focus.
std::optional<int> TakeEditorKey(int &KeyCode);

// Every key passes an editor's window first: a key the editors use, pressed in the window, its
// grid, the other controls given or an overlay, goes to keyDown (the window's Form_KeyDown, which
// sets the code to 0 when it takes the key). The overlays given start hidden, and the wheel over
// one of them scrolls the grid instead of changing a value.
using KeyDownHandler = std::function<void(int &keyCode, Qt::KeyboardModifiers shift)>;
void FilterEditorKeys(QWidget *form, QAbstractScrollArea *grid, std::initializer_list<QWidget *> controls,
                      std::initializer_list<QWidget *> overlays, KeyDownHandler keyDown);
// The same with the editor's own Form_KeyDown, run as one of its handlers.
template <class Editor>
void FilterEditorKeys(Editor *editor, QAbstractScrollArea *grid, std::initializer_list<QWidget *> controls,
                      std::initializer_list<QWidget *> overlays)
{
    FilterEditorKeys(editor, grid, controls, overlays, [editor](int &keyCode, Qt::KeyboardModifiers shift) {
        forms::HandlerScope scope(editor);
        editor->Form_KeyDown(keyCode, shift);
    });
}

// The grid of an editor. The editor keeps the current cell itself, so the view's own cursor
// keys and keyboard search move nothing; Page Up, Page Down, Home and End scroll. Cells take no
// selection, are never typed into, and draw dark text on the editors' light colours whatever
// the desktop's colours.
class EditorGrid : public QTableWidget {
public:
    EditorGrid(int rows, int columns, QWidget *parent = nullptr);

    // Fills every cell with an item of the alignment given.
    void makeItems(Qt::Alignment alignment);
    // The background behind cells that have no colour of their own, and the grid lines.
    void setGridColours(unsigned background, unsigned lines);

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyboardSearch(const QString &) override {}
};

// The text box laid over a cell. It takes Latin-1 characters only (the encoder and the files
// hold one byte per character) and no line breaks (a pasted one is dropped). A stored text put
// in with setStoredText is shown whole, even when it is longer than what may be typed; the
// room for typing then shrinks with the text as characters are deleted, down to the limit.
class OverlayTextBox : public QLineEdit {
public:
    explicit OverlayTextBox(QWidget *parent = nullptr);
    void setStoredText(const QString &text, int typedLimit);

private:
    void followText();
    int m_typedLimit = 0;
};

// A look at the shared database that an editor must not take inside one of its own handlers
// (a message box, a check): asked for there, it runs once, a short while later, however often
// it was asked meanwhile.
class LookLater {
public:
    LookLater(QObject *owner, std::function<void()> look) : m_owner(owner), m_look(std::move(look)) {}
    // True when the look may be taken now; otherwise (inHandler) one later look is queued.
    bool now(bool inHandler);

private:
    QObject *m_owner;
    std::function<void()> m_look;
    bool m_queued = false;
};

// Makes every row of the grid as high as its font's line and padding, at least least pixels;
// returns that height.
int SetRowHeight(QTableView *grid, int padding, int least);

// An editor's OK button, and its layout with the grid on top (what goes below is the editor's).
QPushButton *MakeOKButton(QWidget *form);
QVBoxLayout *MakeEditorLayout(QWidget *form, QWidget *grid, int spacing);

// Lays an editor over the grid's cell (view row and column), bringing the cell into view
// first. A list is as high as it needs and wider than the cell by extraWidth.
void PlaceOverCell(QWidget *form, QTableWidget *grid, QWidget *editor, int row, int col, bool list,
                   int extraWidth = 0);

} // namespace gridedit
