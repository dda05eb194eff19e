// Whether the texts of a window show whole in their controls: measured with
// each control's own font metrics and style, in the room the style leaves for
// the text (a check box's text beside its indicator, a line edit's text
// inside its frame and margins, a combo box's item beside its arrow).
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace apptest {

// Where the text of a line edit is drawn: its contents inside the frame, less
// the text margins and the two pixels QLineEdit keeps on either side, less
// one for the caret at the end (a longer text scrolls).
inline QRect lineEditTextRoom(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    QRect r = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    r = r.marginsRemoved(edit->textMargins());
    return r.adjusted(2, 0, -3, 0);
}

inline QRect checkBoxTextRoom(const QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    option.rect = box->rect();
    option.text = box->text();
    option.icon = box->icon();
    option.iconSize = box->iconSize();
    return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
}

inline QRect pushButtonTextRoom(const QPushButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.rect = button->rect();
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QRect r = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    if (!button->icon().isNull()) r.setLeft(r.left() + button->iconSize().width() + 4);
    return r;
}

inline QRect comboBoxTextRoom(const QComboBox* combo) {
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.rect = combo->rect();
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    // The label is drawn one pixel in from either side of the field.
    return combo->style()
        ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
        .adjusted(1, 0, -1, 0);
}

// Expects a single line of text to fit the room: its width and its height.
inline void expectLineFits(const QFontMetrics& metrics, const QString& text, const QRect& room, const QString& what) {
    EXPECT_LE(metrics.horizontalAdvance(text), room.width())
        << what.toStdString() << ": \"" << text.toStdString() << "\" is cut off at the right";
    EXPECT_LE(metrics.height(), room.height() + 2)
        << what.toStdString() << ": \"" << text.toStdString() << "\" is cut off at the top or bottom";
}

// Every caption, item and text of root and of the controls inside it.
// Returns how many texts were measured, so that a caller can tell that the
// window was searched at all.
inline int expectTextsFit(QWidget* root) {
    int measured = 0;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        const QString what = QString::fromLatin1(w->metaObject()->className()) + " " + w->objectName();
        const QFontMetrics fm = w->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->text().isEmpty()) continue;
            const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                              -label->margin());
            ++measured;
            if (label->wordWrap()) {
                EXPECT_LE(label->heightForWidth(label->width()), label->height())
                    << what.toStdString() << ": \"" << label->text().toStdString() << "\" is cut off";
                continue;
            }
            const QStringList lines = label->text().split(QChar('\n'));
            for (const QString& line : lines)
                EXPECT_LE(fm.horizontalAdvance(line), room.width())
                    << what.toStdString() << ": \"" << line.toStdString() << "\" is cut off at the right";
            EXPECT_LE(fm.height() * lines.size(), room.height() + 2) << what.toStdString();
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            ++measured;
            expectLineFits(fm, box->text(), checkBoxTextRoom(box), what);
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            if (button->text().isEmpty()) continue;
            ++measured;
            expectLineFits(fm, button->text(), pushButtonTextRoom(button), what);
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            ++measured;
            expectLineFits(fm, edit->text(), lineEditTextRoom(edit), what);
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i) {
                ++measured;
                expectLineFits(fm, combo->itemText(i), comboBoxTextRoom(combo), what);
            }
        } else if (auto* list = qobject_cast<QListWidget*>(w)) {
            const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
            for (int i = 0; i < list->count(); ++i) {
                ++measured;
                EXPECT_LE(fm.horizontalAdvance(list->item(i)->text()) + 2 * margin, list->viewport()->width())
                    << what.toStdString() << ": \"" << list->item(i)->text().toStdString() << "\" is cut off";
                EXPECT_LE(list->visualItemRect(list->item(i)).bottom(), list->viewport()->height())
                    << what.toStdString() << ": \"" << list->item(i)->text().toStdString() << "\" is below the list";
            }
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            if (group->title().isEmpty()) continue;
            ++measured;
            EXPECT_LE(fm.horizontalAdvance(group->title()) + 2 * fm.averageCharWidth(), group->width())
                << what.toStdString() << ": \"" << group->title().toStdString() << "\" is cut off";
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                ++measured;
                EXPECT_LE(fm.horizontalAdvance(tabs->tabText(i)), tabs->tabRect(i).width())
                    << what.toStdString() << ": \"" << tabs->tabText(i).toStdString() << "\" is cut off";
            }
        } else if (auto* text = qobject_cast<QPlainTextEdit*>(w)) {
            const int margin = static_cast<int>(text->document()->documentMargin());
            const QStringList lines = text->toPlainText().split(QChar('\n'));
            for (const QString& line : lines) {
                if (line.isEmpty()) continue;
                ++measured;
                EXPECT_LE(fm.horizontalAdvance(line) + 2 * margin, text->viewport()->width())
                    << what.toStdString() << ": \"" << line.toStdString() << "\" is cut off at the right";
            }
            EXPECT_LE(fm.lineSpacing() * lines.size() + 2 * margin, text->viewport()->height())
                << what.toStdString() << ": the text does not show whole";
        }
    }
    return measured;
}

}  // namespace apptest
