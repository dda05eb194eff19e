// Typing a time into a slot's picker as the operator does: a click on the
// hours or the minutes, then digits from the keyboard.
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

#include "app_fixture.h"

using namespace apptest;

namespace {

class TimePickerTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // A left click at a point of a control, delivered through the window as
    // the window system delivers it: to the widget under the mouse, which
    // takes the focus from the click.
    void clickAt(QWidget* w, QPoint p) {
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, w->mapTo(window.get(), p));
    }
    // The middle of the hours (0) or the minutes (1) of a picker's text.
    QPoint sectionPoint(QTimeEdit* p, int section) {
        auto* edit = p->findChild<QLineEdit*>();
        const QFontMetrics fm = edit->fontMetrics();
        const int left = edit->contentsRect().left() + edit->textMargins().left() + 2;
        const int x = left + fm.horizontalAdvance(edit->text().left(section == 0 ? 1 : 4));
        return edit->mapTo(p, QPoint(x, edit->height() / 2));
    }
    // Keys typed on the keyboard, to whatever has the focus.
    void type(const QString& keys) {
        for (QChar c : keys) {
            if (c == QChar('\t')) QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
            else QTest::keyClick(window->windowHandle(), c.toLatin1());
        }
    }
    zave::TimeSlot slot(int k) { return window->document().slot(1, k); }
};

}  // namespace

TEST_F(TimePickerTest, EveryPickerTakesTypedHoursAndMinutesAfterAClickOnEach) {
    for (int k = 1; k <= 12; ++k) {
        SCOPED_TRACE(k);
        clickBox(enabledBox(k));
        ASSERT_TRUE(picker(k)->isEnabled());
        // The focus is elsewhere first: in the volume field of the slot.
        clickAt(volumeField(k), {5, 5});
        ASSERT_TRUE(volumeField(k)->hasFocus());
        const int hour = (k * 5) % 24, minute = (k * 7 + 3) % 60;
        clickAt(picker(k), sectionPoint(picker(k), 0));
        EXPECT_TRUE(picker(k)->hasFocus());
        type(QString("%1").arg(hour, 2, 10, QChar('0')));
        EXPECT_EQ(slot(k).hour, hour) << "stored at once";
        clickAt(picker(k), sectionPoint(picker(k), 1));
        type(QString("%1").arg(minute, 2, 10, QChar('0')));
        EXPECT_EQ(slot(k).hour, hour);
        EXPECT_EQ(slot(k).minute, minute);
        EXPECT_EQ(picker(k)->text(), QString("%1:%2").arg(hour, 2, 10, QChar('0')).arg(minute, 2, 10, QChar('0')));
        EXPECT_EQ(volumeField(k)->text(), "0") << "the other controls keep what they showed";
    }
    // The other days stay as they were.
    for (int k = 1; k <= 12; ++k) EXPECT_EQ(window->document().slot(2, k), zave::TimeSlot{});
}

TEST_F(TimePickerTest, TheWaysAnOperatorTypesATime) {
    struct Row {
        const char* what;
        int section;  // clicked first: 0 hours, 1 minutes
        const char* keys;
        int hour, minute;
    };
    const Row rows[] = {
        {"four digits", 0, "0730", 7, 30},
        {"with the colon", 0, "7:30", 7, 30},
        {"hours, Tab, minutes", 0, "15\t45", 15, 45},
        {"one digit that can only be an hour", 0, "9", 9, 12},
        {"the last minute of the day", 0, "2359", 23, 59},
        {"minutes alone", 1, "05", 4, 5},
        {"one digit of minutes, kept when the picker is left", 0, "9:5\t", 9, 5},
        {"a second click on the hours types over them", 0, "18", 18, 12},
    };
    clickBox(enabledBox(6));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        window->document().slot(1, 6) = {1, 4, 12, 0};
        window->refreshEditor();
        clickAt(volumeField(6), {5, 5});
        clickAt(picker(6), sectionPoint(picker(6), row.section));
        if (std::string_view(row.what).starts_with("a second click")) clickAt(picker(6), sectionPoint(picker(6), 0));
        type(QString::fromLatin1(row.keys));
        EXPECT_EQ(slot(6).hour, row.hour);
        EXPECT_EQ(slot(6).minute, row.minute);
    }
}

TEST_F(TimePickerTest, TabLeavesThePickerOnceItsMinutesAreTyped) {
    clickBox(enabledBox(1));
    clickAt(picker(1), sectionPoint(picker(1), 0));
    type("0730\t");
    EXPECT_EQ(slot(1).hour, 7);
    EXPECT_EQ(slot(1).minute, 30);
    EXPECT_FALSE(picker(1)->hasFocus()) << "Tab moves on to the next control";
}
