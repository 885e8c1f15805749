// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AudioPermission.h"

#include <QWidget>
#include <functional>
#include <string_view>

class QLabel;
class QPushButton;

namespace voxlane {

// The first-run window's card for audio access: what the status means and what the user can do
// about it ("Check"; "Check again", and outside a sandbox "Open Settings" for the desktop's sound
// settings, once the check heard nothing). Inside a sandbox it speaks of the sandbox's access to
// the audio server; outside one of a check that failed. The owner keeps the status; the buttons
// only call the actions.
class PermissionCard : public QWidget {
    Q_OBJECT
public:
    struct Face {
        std::string_view title; // the English texts; the card shows them translated
        std::string_view text;
        std::string_view symbol;
    };
    static Face face(AudioPermission::Status status, bool sandboxed);

    explicit PermissionCard(bool sandboxed = false, QWidget* parent = nullptr);

    AudioPermission::Status status() const { return status_; }
    void setStatus(AudioPermission::Status status);
    // Replaces the text until the status changes (what to do when the settings cannot be
    // opened).
    void setNote(const QString& note);
    // "Allow" and "Check again".
    void setOnCheck(std::function<void()> f) { onCheck_ = std::move(f); }
    // "Open Settings".
    void setOnOpenSettings(std::function<void()> f) { onOpenSettings_ = std::move(f); }

    QString title() const;
    QString text() const;
    // The visible buttons' titles, left to right.
    QStringList buttons() const;
    QPushButton* button(const QString& title) const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    AudioPermission::Status status_ = AudioPermission::Status::unknown;
    bool sandboxed_;
    QLabel* title_;
    QLabel* text_;
    QPushButton* allow_;
    QPushButton* openSettings_;
    QPushButton* checkAgain_;
    std::function<void()> onCheck_;
    std::function<void()> onOpenSettings_;
};

} // namespace voxlane
