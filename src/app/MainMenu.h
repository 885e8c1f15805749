// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <vector>

class QAction;
class QWidget;

namespace voxlane {

// The application's commands, without a menu bar: Quit (Ctrl+Q) and the Edit commands (Undo,
// Redo with Ctrl+Shift+Z, Cut, Copy, Paste, Select All, Close Window with Ctrl+W), active
// whenever one of Voxlane's windows has the focus. Each window attaches them (Qt takes
// application shortcuts only from visible widgets). The Edit commands go to the widget with the
// keyboard focus when it has the matching slot (text fields do); Close Window closes the active
// window.
class MainMenu : public QObject {
    Q_OBJECT
public:
    explicit MainMenu(QObject* parent = nullptr);
    ~MainMenu() override;

    const std::vector<QAction*>& actions() const { return actions_; }
    QAction* action(const QString& title) const;
    // Gives `window` the commands' shortcuts.
    void attachTo(QWidget* window) const;

    // What Quit does: ends the application's event loop.
    std::function<void()> quit;

private:
    std::vector<QAction*> actions_;
};

} // namespace voxlane
