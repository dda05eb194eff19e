// The page "Конфигурация" of the main window: every control with its
// caption, place and content at creation, grouped by the view that uses it.
#pragma once

#include <array>

#include "schedule/document.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimeEdit;
class QWidget;
class ClickablePicture;

struct LinkControls {
    QComboBox* portSelector = nullptr;
    QPushButton* deviceManagerButton = nullptr;
    QPushButton* connectButton = nullptr;
    QPlainTextEdit* logView = nullptr;
    QPushButton* writeProgramButton = nullptr;
    QPushButton* readProgramButton = nullptr;
    QPushButton* disconnectButton = nullptr;
    QLineEdit* computerDateField = nullptr;
    QLineEdit* deviceDateField = nullptr;
    QPushButton* syncClockButton = nullptr;
};

struct WeekPlanControls {
    QComboBox* daySelector = nullptr;
    QPushButton* copyDayButton = nullptr;
    ClickablePicture* duplicateTimesIndicator = nullptr;
    ClickablePicture* volumeRangeIndicator = nullptr;
    std::array<QCheckBox*, zave::kSlotCount> slotEnabledBox{};
    std::array<QTimeEdit*, zave::kSlotCount> slotTimePicker{};
    std::array<QLineEdit*, zave::kSlotCount> slotVolumeField{};
};

struct SoundControls {
    QComboBox* soundTypeSelector = nullptr;
    QLineEdit* pulseSwitchTimeField = nullptr;
    QCheckBox* soundDisabledBox = nullptr;
    QCheckBox* simulationBox = nullptr;
};

struct ConfigPage {
    QTabWidget* configPanel = nullptr;
    QWidget* page = nullptr;
    LinkControls link;
    WeekPlanControls plan;
    SoundControls sound;
};

// Builds the tab control and its page in the client area.
ConfigPage buildConfigPage(QWidget* clientArea);
