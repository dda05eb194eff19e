// The time picker of a slot: hours and minutes that the operator can click
// into and type, as in the time fields of a desktop.
#pragma once

#include <QTimeEdit>

class QEvent;

// A QTimeEdit shown as "HH:mm" with up-down arrows. A plain QTimeEdit that
// takes the focus from a click selects no section and leaves a caret in the
// text; the digits then typed land beside the two already there, and the
// validator refuses them, so the time does not change. Here a click selects
// the section under the mouse, so that typed digits replace it: "0730",
// "7:30", or "15", Tab, "30" all give 07:30 or 15:30.
class SlotTimePicker : public QTimeEdit {
    Q_OBJECT
public:
    explicit SlotTimePicker(QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Set when typed digits filled the hours and the picker moved on to the
    // minutes by itself; a Tab then confirms the move instead of leaving.
    bool movedOnByTyping_ = false;
};
