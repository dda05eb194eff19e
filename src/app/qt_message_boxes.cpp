#include "app/qt_message_boxes.h"

#include <QMessageBox>
#include <QPushButton>
#include <iterator>

namespace {

QString fromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

zave::MessageAnswer QtMessageBoxes::show(std::string_view title, std::string_view text, zave::MessageIcon icon,
                                         zave::MessageButtons buttons) {
    QMessageBox box(parent_.data());
    box.setWindowTitle(fromUtf8(title));
    box.setText(fromUtf8(text));
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case zave::MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case zave::MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case zave::MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    }

    struct Choice {
        QMessageBox::StandardButton button;
        const char* caption;
        zave::MessageAnswer answer;
    };
    static constexpr Choice kOk[] = {{QMessageBox::Ok, "ОК", zave::MessageAnswer::Ok}};
    static constexpr Choice kYesNo[] = {{QMessageBox::Yes, "Да", zave::MessageAnswer::Yes},
                                        {QMessageBox::No, "Нет", zave::MessageAnswer::No}};
    static constexpr Choice kYesNoCancel[] = {{QMessageBox::Yes, "Да", zave::MessageAnswer::Yes},
                                              {QMessageBox::No, "Нет", zave::MessageAnswer::No},
                                              {QMessageBox::Cancel, "Отмена", zave::MessageAnswer::Cancel}};
    const Choice* choices = kOk;
    size_t count = 1;
    switch (buttons) {
    case zave::MessageButtons::Ok: break;
    case zave::MessageButtons::YesNo: choices = kYesNo; count = std::size(kYesNo); break;
    case zave::MessageButtons::YesNoCancel: choices = kYesNoCancel; count = std::size(kYesNoCancel); break;
    }
    for (size_t i = 0; i < count; ++i) {
        QPushButton* b = box.addButton(choices[i].button);
        b->setText(QString::fromUtf8(choices[i].caption));
        if (i == 0) box.setDefaultButton(b);
    }

    box.exec();

    // Escape gives the last button (OK, No, Cancel); so does a box closed
    // in any other way without a button.
    zave::MessageAnswer answer = choices[count - 1].answer;
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    for (size_t i = 0; i < count; ++i)
        if (choices[i].button == clicked) answer = choices[i].answer;
    return answer;
}
