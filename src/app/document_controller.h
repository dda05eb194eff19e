// The document commands New, Open and Save with their questions, through
// the file-dialog and message-box interfaces; no widgets.
#pragma once

#include "app/file_dialogs.h"
#include "app/week_plan_editor.h"
#include "device/device_station.h"
#include "link/host.h"

class DocumentController {
public:
    // `boxes` are the window's (held) message boxes; the file dialogs run
    // with the station held, as a box does.
    DocumentController(WeekPlanEditor& editor, zave::MessageBoxes& boxes, FileDialogs& files,
                       zave::DeviceStation& station)
        : editor_(editor), boxes_(boxes), files_(files), station_(station) {}

    void newDocument();
    void openDocument();
    void saveDocument();

private:
    WeekPlanEditor& editor_;
    zave::MessageBoxes& boxes_;
    FileDialogs& files_;
    zave::DeviceStation& station_;
};
