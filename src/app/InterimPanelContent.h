#pragma once

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace voxlane {

class EngineAdapter;
class Fader;
class GhostButton;

// A small stand-in for the panel's content until the full panel view takes its place: the
// master volume of the default output with its mute button, the names and volumes of the apps
// that play, and a menu with "Open at login", "Check for Updates…" and "Quit". 300 wide.
class InterimPanelContent : public QWidget {
    Q_OBJECT
public:
    explicit InterimPanelContent(EngineAdapter& adapter, QWidget* parent = nullptr);

    Fader* masterFader() const { return master_; }
    // The app names as listed, top to bottom.
    QStringList listedApps() const;

private:
    void showMaster();
    void showApps();
    void showMenu();

    EngineAdapter& adapter_;
    QLabel* device_;
    QLabel* percent_;
    GhostButton* mute_;
    Fader* master_;
    QVBoxLayout* apps_;
    GhostButton* more_;
};

} // namespace voxlane
