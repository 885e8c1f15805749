// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the views offscreen into PNG files, over a desktop-like backdrop, so that they can be
// looked at without a display: voxlane-screenshots OUTDIR [LANGUAGE]. LANGUAGE (de, de_DE.UTF-8,
// …) shows the views in that language as the program does for a session in it; without it they
// are in English. QT_SCALE_FACTOR=2 doubles the pixels.
#include "app/GlassPanel.h"
#include "app/HUDView.h"
#include "app/PanelPlacement.h"
#include "app/StatusIcons.h"
#include "app/StatusPanelController.h"
#include "app/VolumeHUDController.h"
#include "app/WindowFade.h"
#include "engine/AudioPermission.h"
#include "engine/EQSettings.h"
#include "engine/LevelMeters.h"
#include "engine/MixerEngine.h"
#include "platform/Defaults.h"
#include "platform/DesktopSession.h"
#include "platform/ManualScheduler.h"
#include "platform/StaticWorkspace.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "platform/server/DemoWorld.h"
#include "platform/server/SimServer.h"
#include "ui/AppRow.h"
#include "ui/AppRowRules.h"
#include "ui/AppsModule.h"
#include "ui/DeviceRow.h"
#include "ui/DeviceSection.h"
#include "ui/DevicesView.h"
#include "ui/EQCurve.h"
#include "ui/EQEditor.h"
#include "ui/EngineAdapter.h"
#include "ui/Fader.h"
#include "ui/GhostButton.h"
#include "ui/GlassModule.h"
#include "ui/MeteredFader.h"
#include "ui/OnboardingView.h"
#include "ui/OpenEditor.h"
#include "ui/PanelRules.h"
#include "ui/PanelView.h"
#include "ui/Percent.h"
#include "ui/PermissionCard.h"
#include "ui/PresetChip.h"
#include "ui/Theme.h"
#include "ui/ToggleCircle.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>

using namespace voxlane;

namespace {

constexpr int panelWidth = 300;

// The panel's modules float over whatever is on the desktop; a slightly coloured wallpaper, dark
// under the dark glass and light under the light one, shows how translucent they are.
QImage backdrop(QSize size, qreal scale) {
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    QPainter p(&image);
    QLinearGradient g(0, 0, size.width(), size.height());
    const bool light = Theme::variant() == Theme::Variant::light;
    g.setColorAt(0, light ? QColor(176, 198, 232) : QColor(36, 52, 88));
    g.setColorAt(0.55, light ? QColor(214, 190, 222) : QColor(70, 38, 78));
    g.setColorAt(1, light ? QColor(236, 236, 240) : QColor(24, 24, 30));
    p.fillRect(image.rect(), g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 180, 90, 60));
    p.drawEllipse(QPointF(size.width() * 0.8, size.height() * 0.25), 90, 90);
    return image;
}

bool save(QWidget* module, const QString& dir, const QString& name) {
    module->setFixedWidth(panelWidth);
    module->adjustSize();
    module->ensurePolished();
    if (module->layout()) module->layout()->activate();
    const QPixmap content = module->grab();
    // At a scale factor above 1 (QT_SCALE_FACTOR) the files have that many pixels per point.
    const qreal scale = content.devicePixelRatio();
    QImage image = backdrop(module->size() + QSize(24, 24), scale);
    QPainter p(&image);
    p.drawPixmap(12, 12, content);
    p.end();
    const QString path = QDir(dir).filePath(name);
    if (!image.save(path)) {
        std::fprintf(stderr, "voxlane-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

QLabel* label(const QString& text, const QFont& font, const QColor& color) {
    auto* l = new QLabel(text);
    l->setFont(font);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, color);
    l->setPalette(palette);
    return l;
}

QWidget* module(QVBoxLayout*& stack) {
    auto* m = new GlassModule(nullptr, Theme::moduleRadius);
    stack = new QVBoxLayout(m);
    stack->setContentsMargins(16, 14, 16, 14);
    stack->setSpacing(8);
    return m;
}

void hover(QWidget* w) {
    QEnterEvent enter(QPointF(w->width() / 2.0, w->height() / 2.0), QPointF(), QPointF());
    QApplication::sendEvent(w, &enter);
}

// A caption line over a fader, as the app rows have: name on the left, percent text right.
void faderRow(QVBoxLayout* stack, const QString& name, Fader* fader) {
    auto* line = new QHBoxLayout;
    line->addWidget(label(name, Theme::name(), Theme::primary(0.92)));
    line->addStretch();
    line->addWidget(
        label(QString::fromStdString(percent(fader->value())), Theme::value(), Theme::secondary()));
    stack->addLayout(line);
    stack->addWidget(fader);
}

bool faders(const QString& dir) {
    QVBoxLayout* stack;
    QWidget* m = module(stack);
    stack->addWidget(label("Faders", Theme::title(), Theme::primary()));

    auto* master = new Fader(1.0f);
    master->setValue(0.62f);
    faderRow(stack, "Master (no meter)", master);

    auto* quiet = new MeteredFader("Music");
    quiet->setValue(0.8f);
    quiet->setMeter(0.55f, false);
    faderRow(stack, "Music, meter 55 %", quiet);

    auto* unity = new MeteredFader("Browser");
    unity->setValue(1.0f);
    unity->setMeter(0.9f, false);
    faderRow(stack, "Browser at 100 %, meter 90 %", unity);

    auto* boosted = new MeteredFader("Podcast");
    boosted->setValue(1.6f);
    boosted->setMeter(0.85f, false);
    faderRow(stack, "Podcast boosted, meter 85 %", boosted);

    auto* full = new Fader(2.0f);
    full->setValue(1.8f);
    faderRow(stack, "Boost, no meter, hovered", full);

    auto* silenced = new MeteredFader("Game");
    silenced->setValue(0.9f);
    silenced->setMeter(0.7f, true);
    faderRow(stack, "Silenced (dimmed, empty meter)", silenced);

    auto* zero = new MeteredFader("Mail");
    zero->setValue(0.0f);
    zero->setMeter(std::nullopt, false);
    faderRow(stack, "At 0 %", zero);

    m->setFixedWidth(panelWidth);
    m->adjustSize();
    hover(full);
    return save(m, dir, "faders.png");
}

bool controls(const QString& dir) {
    QVBoxLayout* stack;
    QWidget* m = module(stack);
    stack->addWidget(label("Shared controls", Theme::title(), Theme::primary()));
    stack->addWidget(
        label("Ghost buttons: second hovered, last tinted", Theme::detail(), Theme::secondary()));
    auto* buttons = new QHBoxLayout;
    GhostButton* hovered = nullptr;
    for (const char* symbol : {"sliders-vertical", "audio-headphones", "audio-volume-high",
                               "audio-volume-muted", "arrow-down", "ellipsis", "checkmark"}) {
        auto* b = new GhostButton(symbol, symbol);
        if (!hovered && QString(symbol) == "audio-headphones") hovered = b;
        buttons->addWidget(b);
    }
    auto* tinted = new GhostButton("audio-headphones", "End solo");
    tinted->setTint(Theme::live());
    buttons->addWidget(tinted);
    buttons->addStretch();
    stack->addLayout(buttons);

    stack->addWidget(label("Toggle circles: off, on", Theme::detail(), Theme::secondary()));
    auto* toggles = new QHBoxLayout;
    auto* off = new ToggleCircle("microphone-sensitivity-high", Theme::danger());
    auto* on = new ToggleCircle("microphone-sensitivity-muted", Theme::danger());
    on->setOn(true);
    toggles->addWidget(off);
    toggles->addWidget(on);
    auto* text = new QVBoxLayout;
    text->setSpacing(0);
    text->addWidget(
        label(QString::fromStdString(PanelRules::micTitle()), Theme::title(), Theme::primary()));
    text->addWidget(label(QString::fromStdString(PanelRules::micSubtitle(true)), Theme::detail(),
                          Theme::secondary()));
    toggles->addLayout(text);
    toggles->addStretch();
    stack->addLayout(toggles);

    stack->addWidget(label(QString::fromUtf8("Percent text: ") +
                               QString::fromStdString(percent(1.234f)) + ", " +
                               QString::fromStdString(percent(0.2f)),
                           Theme::value(), Theme::primary(0.9)));
    m->setFixedWidth(panelWidth);
    m->adjustSize();
    hover(hovered);
    return save(m, dir, "controls.png");
}

void press(QWidget* w, QPointF at, QEvent::Type type = QEvent::MouseButtonPress) {
    QMouseEvent event(type, at, w->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

bool editor(const QString& dir, const QString& file, const QString& appName, const EQSettings& eq,
            std::optional<std::pair<double, float>> drag = std::nullopt) {
    QVBoxLayout* stack;
    QWidget* m = module(stack);
    auto* header = new QHBoxLayout;
    header->addWidget(label(appName, Theme::name(), Theme::primary(0.92)));
    header->addWidget(label(QString::fromStdString(AppRowRules::presetShortName(eq.preset)),
                            Theme::detail(), Theme::secondary()));
    header->addStretch();
    auto* eqButton = new GhostButton("sliders-vertical", "Equalizer");
    eqButton->setTint(Theme::primary());
    header->addWidget(eqButton);
    stack->addLayout(header);
    auto* fader = new MeteredFader(appName);
    fader->setValue(1.0f);
    fader->setMeter(0.6f, false);
    stack->addWidget(fader);
    auto* e = new EQEditor("app", eq);
    stack->addWidget(e);
    m->setFixedWidth(panelWidth);
    m->adjustSize();
    if (drag) {
        // Hold a band mid-drag at the given dB so the value label shows.
        EQCurve* curve = e->curve();
        const auto plot = curve->plot();
        const double x = EQCurveRules::x(plot, drag->first);
        press(curve, {x, EQCurveRules::y(plot, 0)});
        press(curve, {x, EQCurveRules::y(plot, drag->second)}, QEvent::MouseMove);
    }
    return save(m, dir, file);
}

// A window's drawing over the backdrop, `margin` pixels all round.
bool saveWindow(QWidget* window, const QString& dir, const QString& name, int margin = 24) {
    const QPixmap content = window->grab();
    const qreal scale = content.devicePixelRatio();
    QImage image = backdrop(window->size() + QSize(2 * margin, 2 * margin), scale);
    QPainter p(&image);
    p.drawPixmap(margin, margin, content);
    p.end();
    const QString path = QDir(dir).filePath(name);
    if (!image.save(path)) {
        std::fprintf(stderr, "voxlane-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The demo desktop with the panel open on it, its audio clock run for a while so that the
// meters show.
struct DemoPanel {
    ManualScheduler scheduler;
    SimServer sim{scheduler};
    StaticWorkspace workspace;
    std::unique_ptr<Defaults> defaults = Defaults::inMemory();
    SystemSounds sounds{sim};
    SystemEvents events;
    std::unique_ptr<MixerEngine> engine;
    std::unique_ptr<EngineAdapter> adapter;
    std::unique_ptr<StatusPanelController> controller;
    bool sandboxed = false;

    explicit DemoPanel(bool accessGranted = true) {
        DemoWorld::populate(sim, workspace);
        if (accessGranted) defaults->setBoolean(AudioPermission::grantedKey, true);
        // The permission probe stays where it is: nothing runs in the background here.
        engine = std::make_unique<MixerEngine>(EngineServices{sim, scheduler, *defaults, workspace,
                                                              sounds, events, [](double) {},
                                                              [](std::function<void()>) {}});
        adapter = std::make_unique<EngineAdapter>(*engine);
        engine->setVolume(1.4f, "com.spotify.Client");
        engine->setVolume(0.6f, "org.mozilla.firefox");
        engine->setEQ(EQSettings::fromPreset(EQPreset::voice), "org.mozilla.firefox");
    }
    ~DemoPanel() {
        controller.reset();
        adapter.reset();
        engine.reset();
        scheduler.runPending();
    }
    std::optional<ObjectId> device(const std::string& uid) const {
        for (const auto& d : engine->outputDevices())
            if (d.uid == uid) return d.id;
        return std::nullopt;
    }
    // Runs the audio and the main queue for `seconds`.
    void run(double seconds) {
        const double tick = LevelMeters::tickInterval;
        for (double t = 0; t < seconds; t += tick) {
            sim.advance(static_cast<std::uint32_t>(tick * sim.sampleRate()));
            scheduler.advance(tick);
        }
        QApplication::processEvents();
    }
    void build() {
        controller = std::make_unique<StatusPanelController>(
            *adapter, scheduler,
            [this](EngineAdapter& a) {
                PanelView::Services services;
                services.sandboxed = sandboxed;
                services.volumeKeyHolder = [] {
                    return DesktopSession::volumeKeyHolder({"gnome-shell", "gsd-media-keys"});
                };
                return new PanelView(a, std::move(services));
            },
            false);
    }
    PanelView* view() const { return qobject_cast<PanelView*>(controller->panel()->content()); }
    // Opens the panel and lets it settle, without saving it.
    void open() {
        if (controller) return;
        build();
        controller->open();
        controller->fade().finish();
        engine->setMetering(true);
        run(0.3);
        QEventLoop wait;
        QTimer::singleShot(600, &wait, &QEventLoop::quit);
        wait.exec();
    }
    bool save(const QString& dir, const QString& name) {
        if (!controller) build();
        if (!controller->isOpen()) {
            controller->open();
            controller->fade().finish();
        }
        engine->setMetering(true);
        run(0.6);
        // The meters glide to each new level over 0.08 s of real time, the panel's stack to a
        // new layout in under half a second.
        QEventLoop wait;
        QTimer::singleShot(600, &wait, &QEventLoop::quit);
        wait.exec();
        return saveWindow(controller->panel(), dir, name);
    }
};

// A desktop whose panel is at the bottom (KDE Plasma's default), the tray icon at its right: the
// click on the StatusNotifierItem opens the panel above it.
bool bottomTray(const QString& dir) {
    DemoPanel demo;
    demo.build();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen->geometry();
    constexpr int bar = 44;
    const QPoint click(area.right() - 60, area.bottom() - bar / 2);
    demo.controller->toggleAt(click);
    demo.controller->fade().finish();
    // The offscreen screen has no panels of its own: place as on a desktop whose bar takes the
    // bottom of the screen.
    GlassPanel* window = demo.controller->panel();
    window->setGeometry(
        PanelPlacement::atPoint(window->size(), click, area, area.adjusted(0, 0, 0, -bar)).frame);
    demo.engine->setMetering(true);
    demo.run(0.6);
    QEventLoop wait;
    QTimer::singleShot(600, &wait, &QEventLoop::quit);
    wait.exec();
    const QPixmap panel = demo.controller->panel()->grab();
    const qreal scale = panel.devicePixelRatio();
    QImage image = backdrop(area.size(), scale);
    QPainter p(&image);
    // A desktop whose panel follows the colour scheme (KDE Plasma's does).
    const bool dark = Theme::variant() == Theme::Variant::dark;
    p.fillRect(QRect(0, area.height() - bar, area.width(), bar),
               dark ? QColor(20, 22, 28, 235) : QColor(239, 240, 241, 235));
    const QIcon icon = StatusIcons::menuBarIcon(StatusIcons::trayColor(dark, {"kde"}));
    p.drawPixmap(click.x() - area.x() - 11, area.height() - bar / 2 - 11, icon.pixmap(22, 22));
    p.drawPixmap(demo.controller->panel()->pos() - area.topLeft(), panel);
    p.end();
    const QString path = QDir(dir).filePath("panel-bottom-tray.png");
    std::printf("%s\n", qPrintable(path));
    return image.save(path);
}

// The drop-down panel in the states a user meets.
bool panels(const QString& dir) {
    bool ok = true;
    {
        // Several apps playing, with their meters; one boosted, one with an equaliser preset.
        DemoPanel demo;
        ok = ok && demo.save(dir, "panel.png");
    }
    {
        // A call: the other apps are lowered to 20 %; the silent apps listed.
        DemoPanel demo;
        demo.engine->setDuckLevel(0.2f);
        demo.workspace.applications[4300] =
            RunningApplication{"us.zoom.Zoom", "Zoom", AppIcon{"zoom", false}, "", true};
        SimServer::ProcessSetup call;
        call.pid = 4300;
        call.appId = "us.zoom.Zoom";
        call.signal = SimServer::Signal::sine(0.2f, 440);
        call.recording = true;
        demo.sim.addProcess(call);
        demo.run(0.3);
        ok = ok && demo.save(dir, "panel-call.png");
    }
    {
        // The equaliser open in Spotify's row.
        DemoPanel demo;
        demo.engine->setEQ(EQSettings::fromPreset(EQPreset::bass), "com.spotify.Client");
        demo.build();
        demo.view()->apps()->openEditor().set("com.spotify.Client");
        ok = ok && demo.save(dir, "panel-eq.png");
    }
    {
        // Bluetooth headphones without a volume of their own: software volume, and the keys
        // not ours yet; Spotify soloed, so the others are grey.
        DemoPanel demo;
        if (auto bt = demo.device("demo.bluetooth")) demo.engine->setDefaultOutput(*bt);
        demo.run(0.3);
        demo.engine->setSoloID("com.spotify.Client");
        demo.engine->reconcile();
        ok = ok && demo.save(dir, "panel-soft-volume.png");
    }
    {
        // In a sandbox, before access to the audio server is granted.
        DemoPanel demo(false);
        demo.sandboxed = true;
        ok = ok && demo.save(dir, "panel-access.png");
    }
    {
        // A long name: it ends in "…" and the fader keeps the row's width.
        DemoPanel demo;
        demo.workspace.applications[4400] =
            RunningApplication{"org.example.Player",
                               "Video Player \u2013 Big Buck Bunny (1080p, director\u2019s cut)",
                               {},
                               "",
                               true};
        SimServer::ProcessSetup vlc;
        vlc.pid = 4400;
        vlc.appId = "org.example.Player";
        vlc.signal = SimServer::Signal::sine(0.3f, 220);
        demo.sim.addProcess(vlc);
        demo.run(0.3);
        demo.engine->setEQ(EQSettings::fromPreset(EQPreset::clarity), "org.example.Player");
        ok = ok && demo.save(dir, "panel-long-names.png");
    }
    {
        // Fourteen apps with the equaliser open in the last, on a 1080-pixel screen: the rows
        // scroll, the microphone and settings stay in view.
        DemoPanel demo;
        for (int i = 0; i < 10; ++i) {
            const std::string id = "org.example.App" + std::to_string(i);
            demo.workspace.applications[4500 + i] =
                RunningApplication{id, "App " + std::to_string(i + 1), {}, "", true};
            SimServer::ProcessSetup app;
            app.pid = 4500 + i;
            app.appId = id;
            app.signal = SimServer::Signal::sine(0.1f + 0.05f * float(i % 5), 330);
            demo.sim.addProcess(app);
        }
        demo.run(0.3);
        demo.build();
        demo.view()->apps()->openEditor().set("org.example.App9");
        ok = ok && demo.save(dir, "panel-many-apps.png");
    }
    {
        // The pointer over a row: its buttons have faded in at the trailing edge.
        DemoPanel demo;
        demo.open();
        if (AppRow* row = demo.view()->apps()->row("org.mozilla.firefox")) {
            QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
            QApplication::sendEvent(row, &enter);
        }
        ok = ok && demo.save(dir, "panel-hovered-row.png");
    }
    {
        // Keyboard focus: Tab reached the solo button of a row, which shows its buttons.
        DemoPanel demo;
        demo.open();
        demo.controller->panel()->activateWindow();
        if (AppRow* row = demo.view()->apps()->row("com.spotify.Client")) {
            row->fader()->setFocus(Qt::TabFocusReason);
            QApplication::processEvents();
            row->soloButton()->setFocus(Qt::TabFocusReason);
        }
        ok = ok && demo.save(dir, "panel-keyboard-focus.png");
    }
    ok = ok && bottomTray(dir);
    return ok;
}

// The device priorities window on the demo world: outputs ranked with one device excluded and
// one that is gone (its row hovered, so that "Forget" shows at full strength), inputs unranked.
bool devices(const QString& dir) {
    ManualScheduler scheduler;
    SimServer sim(scheduler);
    StaticWorkspace workspace;
    DemoWorld::populate(sim, workspace);
    auto defaults = Defaults::inMemory();
    defaults->setBoolean(AudioPermission::grantedKey, true);
    SystemSounds sounds(sim);
    SystemEvents events;
    MixerEngine engine(
        EngineServices{sim, scheduler, *defaults, workspace, sounds, events, {}, {}});
    DeviceRules rules = engine.deviceRules();
    rules.outputs.insert(rules.outputs.begin() + 1,
                         {"studio", "Studio Display", Transport::displayPort, false});
    if (rules.outputs.size() > 2) rules.outputs[2].never = true;
    rules.outputsRanked = true;
    engine.setDeviceRules(rules);
    DevicesView view(engine);
    view.resize(view.sizeHint());
    view.show();
    QApplication::processEvents();
    if (DeviceRow* gone = view.outputs()->row("studio")) {
        QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
        QApplication::sendEvent(gone, &enter);
    }
    return saveWindow(&view, dir, "devices.png", 0);
}

// The first-run window: on an ordinary session as it opens (checking quietly, no card) and after
// a check that heard nothing; in a sandbox as it opens.
bool onboarding(const QString& dir) {
    bool ok = true;
    struct Case {
        bool sandboxed;
        std::optional<AudioPermission::Status> answer;
        const char* name;
    };
    for (const Case& c : {Case{false, std::nullopt, "onboarding.png"},
                          Case{false, AudioPermission::Status::denied, "onboarding-denied.png"},
                          Case{true, std::nullopt, "onboarding-sandbox.png"}}) {
        auto defaults = Defaults::inMemory();
        OnboardingView::Actions actions;
        actions.sandboxed = c.sandboxed;
        actions.checkAccess = [answer =
                                   c.answer](std::function<void(AudioPermission::Status)> done) {
            if (answer) done(*answer);
        };
        OnboardingView view(*defaults, StatusIcons::applicationIcon(), actions, [] {});
        view.resize(view.sizeHint());
        view.show();
        QApplication::processEvents();
        ok = ok && saveWindow(&view, dir, c.name, 0);
    }
    return ok;
}

// The volume display after a volume key, and muted.
bool hud(const QString& dir) {
    ManualScheduler scheduler;
    VolumeHUDController hud(scheduler);
    hud.show(0.5625f, false, "Studio Display", "video-display");
    hud.fade().finish();
    bool ok = saveWindow(hud.panel(), dir, "hud.png");
    hud.show(0.8f, true, "Built-in Speakers", "computer-laptop");
    QApplication::processEvents();
    ok = ok && saveWindow(hud.panel(), dir, "hud-muted.png");
    return ok;
}

// A row's context menu, in the glass's colours.
bool menus(const QString& dir) {
    DemoPanel demo;
    const auto apps = demo.engine->playingApps();
    if (apps.empty()) return false;
    OpenEditor noEditor;
    AppRow row(*demo.engine, noEditor, apps.front(), false);
    std::unique_ptr<QMenu> menu(row.contextMenu());
    emit menu->aboutToShow();
    menu->adjustSize();
    if (QAction* hovered = menu->actions().value(1)) menu->setActiveAction(hovered);
    return saveWindow(menu.get(), dir, "menu-row.png");
}

// The tray icons, light and dark, faders and muted microphone, on a dark bar and on a light one;
// then the application icon.
bool trayIcons(const QString& dir) {
    QImage image(6 * 40, 2 * 40, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.fillRect(QRect(0, 0, image.width(), 40), QColor(30, 30, 34));
    p.fillRect(QRect(0, 40, image.width(), 40), QColor(236, 236, 240));
    const QColor colours[] = {QColor(240, 240, 240), QColor(30, 30, 30)};
    for (int row = 0; row < 2; ++row) {
        for (int c = 0; c < 2; ++c) {
            p.drawPixmap(QPoint(c * 40 + 9, row * 40 + 9),
                         StatusIcons::menuBarIcon(colours[c]).pixmap(22, 22));
            p.drawPixmap(QPoint(80 + c * 40 + 9, row * 40 + 9),
                         StatusIcons::mutedIcon(colours[c]).pixmap(22, 22));
        }
        p.drawImage(QPoint(160 + 4, row * 40 + 4), StatusIcons::applicationImage(32));
    }
    p.end();
    const QString path = QDir(dir).filePath("tray-icons.png");
    std::printf("%s\n", qPrintable(path));
    return image.save(path);
}

} // namespace

// The offscreen platform notes every window operation it cannot carry out; those are expected.
void quietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith("This plugin does not support")) return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietOffscreenNotes);
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: voxlane-screenshots OUTDIR [LANGUAGE]\n");
        return 2;
    }
    // The language's numbers too ("+3,5 dB"), as in a session whose locale it is.
    const QLocale locale = argc == 3 ? QLocale(QString::fromLocal8Bit(argv[2]).section('.', 0, 0))
                                     : QLocale(QLocale::English, QLocale::UnitedStates);
    QLocale::setDefault(locale);
    const Translations translations(locale);
    if (argc == 3 && translations.language() == "en" && !locale.name().startsWith("en")) {
        std::fprintf(stderr, "voxlane-screenshots: no translation for %s\n", argv[2]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    // Every view twice: on the dark glass in OUTDIR, on the light glass in OUTDIR/light.
    for (Theme::Variant variant : {Theme::Variant::dark, Theme::Variant::light}) {
        Theme::setVariant(variant);
        const QString dir = variant == Theme::Variant::dark ? out : QDir(out).filePath("light");
        if (!QDir().mkpath(dir)) {
            std::fprintf(stderr, "voxlane-screenshots: cannot create %s\n", qPrintable(dir));
            return 2;
        }
        ok = ok && panels(dir) && hud(dir) && trayIcons(dir) && faders(dir) && controls(dir) &&
             devices(dir) && onboarding(dir) && menus(dir);
        for (EQPreset preset : {EQPreset::off, EQPreset::voice, EQPreset::bass, EQPreset::night}) {
            const QString name = QString::fromUtf8(EQPresets::rawValue(preset).data());
            ok = ok &&
                 editor(dir, "eq-" + name + ".png", "Podcasts", EQSettings::fromPreset(preset));
        }
        ok = ok && editor(dir, "eq-custom-dragging.png", "Browser",
                          {EQPreset::custom, {3, -2, 0, 0, 0}}, std::pair{4000.0, 7.0f});
        // Bands that add up past ±14 dB: the curve is drawn flat there, the handles are not.
        ok = ok && editor(dir, "eq-custom-extreme.png", "Game",
                          {EQPreset::custom, {12, 12, 12, -12, -12}});
    }
    return ok ? 0 : 1;
}
