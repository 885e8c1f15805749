#include "app/InterimPanelContent.h"

#include "app/Autostart.h"
#include "app/EngineAdapter.h"
#include "engine/MixerEngine.h"
#include "ui/Fader.h"
#include "ui/GhostButton.h"
#include "ui/GlassModule.h"
#include "ui/Percent.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace voxlane {
namespace {

QLabel* label(const QString& text, const QFont& font, const QColor& color) {
    auto* l = new QLabel(text);
    l->setFont(font);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, color);
    l->setPalette(palette);
    return l;
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

InterimPanelContent::InterimPanelContent(EngineAdapter& adapter, QWidget* parent)
    : QWidget(parent), adapter_(adapter) {
    setFixedWidth(300);
    setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    // Sound: the default output's volume.
    auto* sound = new GlassModule(nullptr, Theme::moduleRadius);
    auto* soundStack = new QVBoxLayout(sound);
    soundStack->setContentsMargins(18, 14, 18, 16);
    soundStack->setSpacing(4);
    auto* header = new QHBoxLayout;
    header->addWidget(label("Sound", Theme::title(), Theme::primary()));
    header->addStretch();
    percent_ = label("", Theme::value(), Theme::secondary());
    header->addWidget(percent_);
    soundStack->addLayout(header);
    device_ = label("", Theme::detail(), Theme::secondary());
    soundStack->addWidget(device_);
    auto* faderRow = new QHBoxLayout;
    faderRow->setSpacing(6);
    mute_ = new GhostButton("speaker.wave.3.fill", "Mute");
    mute_->setAction([this] {
        MixerEngine& engine = adapter_.engine();
        engine.setMasterMuted(!engine.masterMuted());
    });
    faderRow->addWidget(mute_);
    master_ = new Fader(1.0f);
    master_->setAccessibilityLabel("Master volume");
    master_->setOnValueChanged([this](float v) { adapter_.engine().setMasterVolume(v); });
    faderRow->addWidget(master_, 1);
    soundStack->addSpacing(4);
    soundStack->addLayout(faderRow);
    column->addWidget(sound);

    // Apps that play.
    auto* apps = new GlassModule(nullptr, Theme::moduleRadius);
    auto* appsStack = new QVBoxLayout(apps);
    appsStack->setContentsMargins(18, 14, 18, 16);
    appsStack->setSpacing(6);
    auto* appsHeader = new QHBoxLayout;
    appsHeader->addWidget(label("Apps", Theme::title(), Theme::primary()));
    appsHeader->addStretch();
    more_ = new GhostButton("ellipsis", "More");
    more_->setAction([this] { showMenu(); });
    appsHeader->addWidget(more_);
    appsStack->addLayout(appsHeader);
    apps_ = new QVBoxLayout;
    apps_->setSpacing(6);
    appsStack->addLayout(apps_);
    column->addWidget(apps);

    connect(&adapter_, &EngineAdapter::masterChanged, this, &InterimPanelContent::showMaster);
    connect(&adapter_, &EngineAdapter::defaultOutputChanged, this,
            &InterimPanelContent::showMaster);
    connect(&adapter_, &EngineAdapter::appsChanged, this, &InterimPanelContent::showApps);
    showMaster();
    showApps();
}

void InterimPanelContent::showMaster() {
    const MixerEngine& engine = adapter_.engine();
    const auto& output = engine.defaultOutput();
    device_->setText(output ? text(output->name) : QString("No output device"));
    percent_->setText(text(percent(engine.masterVolume())));
    master_->setValue(engine.masterVolume());
    master_->setDimmed(engine.masterMuted());
    mute_->setSymbol(engine.masterMuted() ? "speaker.slash.fill" : "speaker.wave.3.fill");
    mute_->setHelp(engine.masterMuted() ? "Unmute" : "Mute");
}

void InterimPanelContent::showApps() {
    while (QLayoutItem* item = apps_->takeAt(0)) {
        if (item->layout()) {
            while (QLayoutItem* inner = item->layout()->takeAt(0)) {
                delete inner->widget();
                delete inner;
            }
        }
        delete item->widget();
        delete item;
    }
    const MixerEngine& engine = adapter_.engine();
    const auto playing = engine.playingApps();
    if (playing.empty()) {
        apps_->addWidget(label("No apps are playing sound.", Theme::detail(), Theme::secondary()));
        return;
    }
    for (const AppGroup& app : playing) {
        auto* row = new QHBoxLayout;
        auto* name = label(text(app.name), Theme::name(), Theme::primary(0.92));
        name->setObjectName("appName");
        row->addWidget(name);
        row->addStretch();
        row->addWidget(label(text(percent(engine.settings(app.id).volume)), Theme::value(),
                             Theme::secondary()));
        apps_->addLayout(row);
    }
}

QStringList InterimPanelContent::listedApps() const {
    QStringList names;
    for (QLabel* l : findChildren<QLabel*>("appName"))
        names << l->text();
    return names;
}

void InterimPanelContent::showMenu() {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    Autostart autostart;
    QAction* login = menu->addAction("Open at login");
    login->setCheckable(true);
    login->setChecked(autostart.isEnabled());
    connect(login, &QAction::toggled, this, [](bool on) {
        Autostart entry;
        const bool ok =
            on ? entry.enable(QApplication::applicationFilePath().toStdString()) : entry.disable();
        if (!ok) QApplication::beep();
    });
    menu->addAction(QString::fromUtf8("Check for Updates…"), this, [this] {
        if (adapter_.engine().checkForUpdates) adapter_.engine().checkForUpdates();
    });
    QAction* quit = menu->addAction("Quit", [] { QCoreApplication::quit(); });
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    menu->popup(more_->mapToGlobal(QPoint(0, more_->height())));
}

} // namespace voxlane
