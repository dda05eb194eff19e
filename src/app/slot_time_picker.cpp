#include "app/slot_time_picker.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

SlotTimePicker::SlotTimePicker(QWidget* parent) : QTimeEdit(parent) {
    setDisplayFormat("HH:mm");
    setCalendarPopup(false);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    // Clicks on the text land on the line edit inside, not on the picker.
    lineEdit()->installEventFilter(this);
}

bool SlotTimePicker::eventFilter(QObject* watched, QEvent* event) {
    const bool handled = QTimeEdit::eventFilter(watched, event);
    if (watched == lineEdit()) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress) movedOnByTyping_ = false;
        // On the release, once the line edit has placed its caret: a plain
        // click (no drag, no double click selecting text) selects the section
        // under the caret.
        if (type == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            !lineEdit()->hasSelectedText() && currentSection() != NoSection)
            setSelectedSection(currentSection());
    }
    return handled;
}

bool SlotTimePicker::event(QEvent* event) {
    // Tab reaches event() before keyPressEvent(): the base class moves on
    // from there to the next section or the next control.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier && movedOnByTyping_) {
            movedOnByTyping_ = false;
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut) movedOnByTyping_ = false;
    return QTimeEdit::event(event);
}

void SlotTimePicker::keyPressEvent(QKeyEvent* event) {
    const Section before = currentSection();
    const bool typed = !event->text().isEmpty() && event->text().at(0).isDigit();
    QTimeEdit::keyPressEvent(event);
    movedOnByTyping_ = typed && before == HourSection && currentSection() == MinuteSection;
}
