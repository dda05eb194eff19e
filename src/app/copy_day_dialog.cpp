#include "app/copy_day_dialog.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/embedded_images.h"
#include "schedule/document.h"

namespace {

constexpr int kInnerWidth = 360;
constexpr int kInnerHeight = 186;
constexpr QPoint kScreenPosition{623, 125};

QListWidget* dayList(QWidget* parent, const char* name, QAbstractItemView::SelectionMode mode) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setSelectionMode(mode);
    for (std::string_view day : zave::kDayNames)
        list->addItem(QString::fromUtf8(day.data(), static_cast<qsizetype>(day.size())));
    list->clearSelection();
    list->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
    return list;
}

// The hint has a fixed width; with a larger font it would be cut off, so the
// font is made smaller until the whole text fits. A font sized in pixels has
// no point size (-1), so it shrinks by pixels.
void shrinkToFit(QLabel* label) {
    QFont font = label->font();
    const int room = label->contentsRect().width();
    while (QFontMetrics(font).horizontalAdvance(label->text()) > room) {
        if (font.pixelSize() > 0) {
            if (font.pixelSize() <= 8) break;
            font.setPixelSize(font.pixelSize() - 1);
        } else {
            if (font.pointSizeF() <= 6.0) break;
            font.setPointSizeF(font.pointSizeF() - 0.5);
        }
    }
    if (font != label->font()) label->setFont(font);
}

}  // namespace

CopyDayDialog::CopyDayDialog(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("copyDayDialog");
    setWindowTitle(QString::fromUtf8("Копирование временных параметров"));
    setFixedSize(kInnerWidth, kInnerHeight);
    move(kScreenPosition);

    sourceList_ = dayList(this, "copySourceList", QAbstractItemView::SingleSelection);
    sourceList_->setGeometry(10, 5, 135, 105);
    targetList_ = dayList(this, "copyTargetList", QAbstractItemView::ExtendedSelection);
    targetList_->setGeometry(225, 5, 130, 106);

    auto* arrow = new QPushButton(this);
    arrow->setObjectName("copyArrowButton");
    arrow->setGeometry(160, 40, 50, 25);
    arrow->setFlat(true);
    arrow->setIcon(embeddedIcon(2));
    arrow->setIconSize(QSize(50, 25));
    connect(arrow, &QPushButton::clicked, this, &CopyDayDialog::copyRequested);

    auto* hint = new QLabel(QString::fromUtf8("Для выбора нескольких пунктов,удерживайте CTRL"), this);
    hint->setObjectName("copyHint");
    hint->setGeometry(45, 120, 267, 20);
    shrinkToFit(hint);

    auto* copy = new QPushButton(QString::fromUtf8("Копировать"), this);
    copy->setObjectName("copyButton");
    copy->setGeometry(145, 150, 80, 25);
    connect(copy, &QPushButton::clicked, this, &CopyDayDialog::copyRequested);

    auto* cancel = new QPushButton(QString::fromUtf8("Отмена"), this);
    cancel->setObjectName("copyCancelButton");
    cancel->setGeometry(270, 150, 80, 25);
    connect(cancel, &QPushButton::clicked, this, &CopyDayDialog::cancelRequested);

    // The focus starts on "Копировать", so that neither list marks a current day.
    copy->setFocus();

}

int CopyDayDialog::selectedSource() const {
    for (int row = 0; row < sourceList_->count(); ++row)
        if (sourceList_->item(row)->isSelected()) return row + 1;
    return 0;
}

std::vector<int> CopyDayDialog::selectedTargets() const {
    std::vector<int> days;
    for (int row = 0; row < targetList_->count(); ++row)
        if (targetList_->item(row)->isSelected()) days.push_back(row + 1);
    return days;
}

void CopyDayDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    Q_EMIT closeRequested();
}
