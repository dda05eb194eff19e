// The copy-day dialog: one source day, several target days.
#pragma once

#include <QWidget>
#include <vector>

class QCloseEvent;
class QListWidget;

// A top-level window owned by the main window. It changes nothing by itself:
// "Копировать" and the arrow emit copyRequested(), "Отмена" emits
// cancelRequested(), a close request is refused and emits closeRequested().
class CopyDayDialog : public QWidget {
    Q_OBJECT
public:
    explicit CopyDayDialog(QWidget* owner);

    // The selected source day, 1..7; 0 when none is selected.
    int selectedSource() const;
    // The selected target days, 1..7 in ascending order.
    std::vector<int> selectedTargets() const;

Q_SIGNALS:
    void copyRequested();
    void cancelRequested();
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QListWidget* sourceList_;
    QListWidget* targetList_;
};
