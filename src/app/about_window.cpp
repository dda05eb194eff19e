#include "app/about_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/embedded_images.h"

namespace {

constexpr int kInnerWidth = 432;
constexpr int kInnerHeight = 207;
constexpr QPoint kScreenPosition{530, 182};
const QColor kTextColour(246, 244, 31);

}  // namespace

QStringList AboutWindow::aboutLines() {
    return {
        QString(),
        QString::fromUtf8("  Программа \"Orvatone Zave\""),
        QString::fromUtf8("  Версия 1.07"),
        QString::fromUtf8("    Компания \"Орватон\""),
        QString::fromUtf8("    Тел.: +7 (8332) 00-10-07"),
        QString::fromUtf8("    E-mail: zave@orvatone.example"),
        QString::fromUtf8("    Сайт: ") + QString::fromUtf8(kWebSiteAddress),
        QString::fromUtf8("    г. Киров, 2019-2024"),
    };
}

AboutWindow::AboutWindow(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("aboutWindow");
    setWindowTitle(QString::fromUtf8("О программе"));
    setFixedSize(kInnerWidth, kInnerHeight);
    move(kScreenPosition);

    auto* picture = new QLabel(this);
    picture->setObjectName("aboutPicture");
    picture->setGeometry(5, 15, 146, 155);
    picture->setFrameShape(QFrame::Panel);
    picture->setFrameShadow(QFrame::Sunken);
    picture->setLineWidth(1);
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(embeddedImage(3));

    auto* frame = new QGroupBox(QString::fromUtf8("Информация"), this);
    frame->setObjectName("aboutFrame");
    frame->setGeometry(155, 10, 272, 164);

    // Created after the frame so that it lies above it.
    auto* text = new QPlainTextEdit(this);
    text->setObjectName("aboutText");
    text->setGeometry(160, 25, 261, 141);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette colours = text->palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Text, kTextColour);
    text->setPalette(colours);
    text->setPlainText(aboutLines().join(QChar('\n')));

    auto* ok = new QPushButton(QString::fromUtf8("Ок"), this);
    ok->setObjectName("aboutOkButton");
    ok->setGeometry(312, 177, 114, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &AboutWindow::okClicked);

}

void AboutWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    Q_EMIT closeRequested();
}
