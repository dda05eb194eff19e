// The document commands New, Open and Save with their questions, through
// the file-dialog and message-box interfaces; no widgets.
#pragma once

#include "app/file_dialogs.h"
#include "app/week_plan_editor.h"
#include "link/host.h"

class DocumentController {
public:
    DocumentController(WeekPlanEditor& editor, zave::MessageBoxes& boxes, FileDialogs& files)
        : editor_(editor), boxes_(boxes), files_(files) {}

    void newDocument();
    void openDocument();
    void saveDocument();

private:
    WeekPlanEditor& editor_;
    zave::MessageBoxes& boxes_;
    FileDialogs& files_;
};
