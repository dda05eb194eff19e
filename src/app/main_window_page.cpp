// The page "Конфигурация" of the main window: every control with its caption,
// place and content at creation.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/clickable_picture.h"
#include "app/embedded_images.h"
#include "app/main_window.h"
#include "app/slot_time_picker.h"
#include "app/text_conversion.h"
#include "link/port_names.h"

void MainWindow::buildPage() {
    configPanel_ = new QTabWidget(centralWidget());
    place(configPanel_, 5, 65, 760, 405, "configPanel");
    page_ = new QWidget;
    page_->setObjectName("configPage");
    configPanel_->addTab(page_, QString::fromUtf8("Конфигурация"));
    QWidget* p = page_;
    auto label = [&](const char* text, int x, int y, int w, int h) {
        place(new QLabel(QString::fromUtf8(text), p), x, y, w, h);
    };
    auto group = [&](const char* title, int x, int y, int w, int h) {
        auto* g = new QGroupBox(QString::fromUtf8(title), p);
        place(g, x, y, w, h);
        g->lower();
    };
    auto button = [&](const char* text, int x, int y, int w, int h, const char* name) {
        auto* b = new QPushButton(QString::fromUtf8(text), p);
        place(b, x, y, w, h, name);
        return b;
    };
    auto lineEdit = [&](int x, int y, int w, int h, const char* name) {
        auto* e = new QLineEdit(p);
        place(e, x, y, w, h, name);
        return e;
    };

    // Group "Настройка портов".
    group("Настройка портов", 3, 11, 333, 65);
    label("Порт", 10, 30, 30, 15);
    portSelector_ = new QComboBox(p);
    place(portSelector_, 10, 45, 65, 20, "portSelector");
    deviceManagerButton_ = button("Диспетчер устройств", 80, 45, 120, 20, "deviceManagerButton");
    connectButton_ = button("Установить связь", 205, 45, 120, 20, "connectButton");

    // Group "Статус устройства".
    group("Статус устройства", 3, 75, 333, 285);
    logView_ = new QPlainTextEdit(p);
    place(logView_, 10, 95, 180, 235, "logView");
    logView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    logView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab and Shift+Tab move between the controls here too.
    logView_->setTabChangesFocus(true);
    writeProgramButton_ = button("Запись программы", 195, 95, 130, 20, "writeProgramButton");
    readProgramButton_ = button("Чтение программы ", 195, 125, 130, 20, "readProgramButton");
    disconnectButton_ = button("Разорвать связь", 195, 165, 130, 20, "disconnectButton");
    label("Работа с RTC:", 225, 220, 80, 15);
    label("Системная дата", 200, 235, 124, 15);
    computerDateField_ = lineEdit(200, 250, 130, 20, "computerDateField");
    label("Дата счит. с устройства", 200, 275, 124, 15);
    deviceDateField_ = lineEdit(200, 290, 130, 20, "deviceDateField");
    syncClockButton_ = button("Синхр.часы", 200, 320, 130, 20, "syncClockButton");

    // Group "Недельные планы".
    group("Недельные планы", 340, 10, 395, 210);
    label("День недели", 345, 35, 71, 15);
    daySelector_ = new QComboBox(p);
    place(daySelector_, 415, 30, 105, 20, "daySelector");
    copyDayButton_ = new QPushButton(p);
    place(copyDayButton_, 525, 30, 25, 25, "copyDayButton");
    copyDayButton_->setIcon(QIcon(embeddedImage(1)));
    copyDayButton_->setIconSize(QSize(24, 24));
    duplicateTimesIndicator_ = new ClickablePicture(embeddedImage(0), p);
    place(duplicateTimesIndicator_, 570, 30, 45, 30, "duplicateTimesIndicator");
    volumeRangeIndicator_ = new ClickablePicture(embeddedImage(0), p);
    place(volumeRangeIndicator_, 570, 30, 45, 30, "volumeRangeIndicator");
    for (int i = 0; i < zave::kSlotCount; ++i) {
        const int column = i / 6, row = i % 6;
        const int y = 65 + 25 * row;
        const int boxX = column ? 560 : 345, pickerX = column ? 635 : 420, fieldX = column ? 690 : 475;
        const QString k = QString::number(i + 1);
        slotEnabledBox_[i] = new QCheckBox(QString::fromUtf8("Включен"), p);
        place(slotEnabledBox_[i], boxX, y + 5, 69, 15);
        slotEnabledBox_[i]->setObjectName("slotEnabledBox" + k);
        slotTimePicker_[i] = new SlotTimePicker(p);
        slotTimePicker_[i]->setTime(QTime::currentTime());
        place(slotTimePicker_[i], pickerX, y, 52, 20);
        slotTimePicker_[i]->setObjectName("slotTimePicker" + k);
        slotVolumeField_[i] = new QLineEdit(p);
        place(slotVolumeField_[i], fieldX, y, 40, 20);
        slotVolumeField_[i]->setObjectName("slotVolumeField" + k);
    }

    // Sound group, a frame without caption.
    group("", 340, 219, 395, 140);
    label("Вид звукового сопровождения", 350, 230, 160, 15);
    soundTypeSelector_ = new QComboBox(p);
    place(soundTypeSelector_, 350, 245, 105, 20, "soundTypeSelector");
    label("Время перехода на частые звук.импульсы", 350, 270, 222, 15);
    pulseSwitchTimeField_ = lineEdit(350, 285, 40, 20, "pulseSwitchTimeField");
    soundDisabledBox_ = new QCheckBox(QString::fromUtf8("Отключить звуковое сопровождение"), p);
    place(soundDisabledBox_, 350, 310, 214, 15, "soundDisabledBox");
    simulationBox_ = new QCheckBox(QString::fromUtf8("Включить симуляцию"), p);
    place(simulationBox_, 350, 330, 214, 15, "simulationBox");

    // Contents at creation.
    for (const std::string& name : zave::portSelectorNames()) portSelector_->addItem(QString::fromStdString(name));
    portSelector_->setCurrentIndex(0);
    for (std::string_view name : zave::kDayNames) daySelector_->addItem(u8(name));
    for (std::string_view name : zave::kSoundTypeNames) soundTypeSelector_->addItem(u8(name));
    soundTypeSelector_->setCurrentIndex(0);
    pulseSwitchTimeField_->setText("10");
    soundTypeSelector_->setEnabled(false);
    soundDisabledBox_->setEnabled(false);
    duplicateTimesIndicator_->hide();
    duplicateTimesClear_ = 1;
}
