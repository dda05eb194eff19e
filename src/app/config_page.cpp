// The page "Конфигурация" of the main window: every control with its caption,
// place and content at creation.
#include "app/config_page.h"

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
#include "app/slot_time_picker.h"
#include "app/text_conversion.h"
#include "link/port_names.h"

namespace {

QWidget* place(QWidget* w, int x, int y, int width, int height, const char* name = nullptr) {
    w->setGeometry(x, y, width, height);
    if (name) w->setObjectName(name);
    return w;
}

}  // namespace

ConfigPage buildConfigPage(QWidget* clientArea) {
    ConfigPage c;
    c.configPanel = new QTabWidget(clientArea);
    place(c.configPanel, 5, 65, 760, 405, "configPanel");
    c.page = new QWidget;
    c.page->setObjectName("configPage");
    c.configPanel->addTab(c.page, QString::fromUtf8("Конфигурация"));
    QWidget* p = c.page;
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
    c.link.portSelector = new QComboBox(p);
    place(c.link.portSelector, 10, 45, 65, 20, "portSelector");
    c.link.deviceManagerButton = button("Диспетчер устройств", 80, 45, 120, 20, "deviceManagerButton");
    c.link.connectButton = button("Установить связь", 205, 45, 120, 20, "connectButton");

    // Group "Статус устройства".
    group("Статус устройства", 3, 75, 333, 285);
    c.link.logView = new QPlainTextEdit(p);
    place(c.link.logView, 10, 95, 180, 235, "logView");
    c.link.logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    c.link.logView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.link.logView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab and Shift+Tab move between the controls here too.
    c.link.logView->setTabChangesFocus(true);
    c.link.writeProgramButton = button("Запись программы", 195, 95, 130, 20, "writeProgramButton");
    c.link.readProgramButton = button("Чтение программы ", 195, 125, 130, 20, "readProgramButton");
    c.link.disconnectButton = button("Разорвать связь", 195, 165, 130, 20, "disconnectButton");
    label("Работа с RTC:", 225, 220, 80, 15);
    label("Системная дата", 200, 235, 124, 15);
    c.link.computerDateField = lineEdit(200, 250, 130, 20, "computerDateField");
    label("Дата счит. с устройства", 200, 275, 124, 15);
    c.link.deviceDateField = lineEdit(200, 290, 130, 20, "deviceDateField");
    c.link.syncClockButton = button("Синхр.часы", 200, 320, 130, 20, "syncClockButton");

    // Group "Недельные планы".
    group("Недельные планы", 340, 10, 395, 210);
    label("День недели", 345, 35, 71, 15);
    c.plan.daySelector = new QComboBox(p);
    place(c.plan.daySelector, 415, 30, 105, 20, "daySelector");
    c.plan.copyDayButton = new QPushButton(p);
    place(c.plan.copyDayButton, 525, 30, 25, 25, "copyDayButton");
    c.plan.copyDayButton->setIcon(QIcon(embeddedImage(1)));
    c.plan.copyDayButton->setIconSize(QSize(24, 24));
    c.plan.duplicateTimesIndicator = new ClickablePicture(embeddedImage(0), p);
    place(c.plan.duplicateTimesIndicator, 570, 30, 45, 30, "duplicateTimesIndicator");
    c.plan.volumeRangeIndicator = new ClickablePicture(embeddedImage(0), p);
    place(c.plan.volumeRangeIndicator, 570, 30, 45, 30, "volumeRangeIndicator");
    for (int i = 0; i < zave::kSlotCount; ++i) {
        const int column = i / 6, row = i % 6;
        const int y = 65 + 25 * row;
        const int boxX = column ? 560 : 345, pickerX = column ? 635 : 420, fieldX = column ? 690 : 475;
        const QString k = QString::number(i + 1);
        c.plan.slotEnabledBox[i] = new QCheckBox(QString::fromUtf8("Включен"), p);
        place(c.plan.slotEnabledBox[i], boxX, y + 5, 69, 15);
        c.plan.slotEnabledBox[i]->setObjectName("slotEnabledBox" + k);
        c.plan.slotTimePicker[i] = new SlotTimePicker(p);
        c.plan.slotTimePicker[i]->setTime(QTime::currentTime());
        place(c.plan.slotTimePicker[i], pickerX, y, 52, 20);
        c.plan.slotTimePicker[i]->setObjectName("slotTimePicker" + k);
        c.plan.slotVolumeField[i] = new QLineEdit(p);
        place(c.plan.slotVolumeField[i], fieldX, y, 40, 20);
        c.plan.slotVolumeField[i]->setObjectName("slotVolumeField" + k);
    }

    // Sound group, a frame without caption.
    group("", 340, 219, 395, 140);
    label("Вид звукового сопровождения", 350, 230, 160, 15);
    c.sound.soundTypeSelector = new QComboBox(p);
    place(c.sound.soundTypeSelector, 350, 245, 105, 20, "soundTypeSelector");
    label("Время перехода на частые звук.импульсы", 350, 270, 222, 15);
    c.sound.pulseSwitchTimeField = lineEdit(350, 285, 40, 20, "pulseSwitchTimeField");
    c.sound.soundDisabledBox = new QCheckBox(QString::fromUtf8("Отключить звуковое сопровождение"), p);
    place(c.sound.soundDisabledBox, 350, 310, 214, 15, "soundDisabledBox");
    c.sound.simulationBox = new QCheckBox(QString::fromUtf8("Включить симуляцию"), p);
    place(c.sound.simulationBox, 350, 330, 214, 15, "simulationBox");

    // Contents at creation.
    for (const std::string& name : zave::portSelectorNames()) c.link.portSelector->addItem(QString::fromStdString(name));
    c.link.portSelector->setCurrentIndex(0);
    for (std::string_view name : zave::kDayNames) c.plan.daySelector->addItem(u8(name));
    for (std::string_view name : zave::kSoundTypeNames) c.sound.soundTypeSelector->addItem(u8(name));
    c.sound.soundTypeSelector->setCurrentIndex(0);
    c.sound.pulseSwitchTimeField->setText("10");
    c.sound.soundTypeSelector->setEnabled(false);
    c.sound.soundDisabledBox->setEnabled(false);
    c.plan.duplicateTimesIndicator->hide();
    return c;
}
