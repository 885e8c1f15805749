// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PanelView.h"

#include "ShellWorld.h"
#include "app/GlassPanel.h"
#include "app/StatusPanelController.h"
#include "engine/EQ.h"
#include "platform/DesktopSession.h"
#include "support/Widgets.h"
#include "ui/AccessModule.h"
#include "ui/AnimatedStackLayout.h"
#include "ui/AppRow.h"
#include "ui/AppsModule.h"
#include "ui/CallModule.h"
#include "ui/CapsuleButton.h"
#include "ui/DeviceMenu.h"
#include "ui/EQCurve.h"
#include "ui/EQEditor.h"
#include "ui/ElidedLabel.h"
#include "ui/EngineAdapter.h"
#include "ui/ErrorModule.h"
#include "ui/FocusRing.h"
#include "ui/GhostButton.h"
#include "ui/MeteredFader.h"
#include "ui/MicModule.h"
#include "ui/OpenEditor.h"
#include "ui/PresetChip.h"
#include "ui/ScrollList.h"
#include "ui/SettingsButton.h"
#include "ui/SoundModule.h"
#include "ui/ToggleCircle.h"
#include "ui/Transition.h"
#include "ui/Translations.h"
#include "ui/VolumeKeysModule.h"

#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QVariantAnimation>

namespace voxlane {
namespace {

using test::find;
using test::finish;
using test::ShellWorld;

// What Qt writes to the log while `f` runs.
QStringList qtMessagesDuring(const std::function<void()>& f) {
    static QStringList* sink = nullptr;
    QStringList messages;
    sink = &messages;
    const auto previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { *sink << text; });
    f();
    qInstallMessageHandler(previous);
    sink = nullptr;
    return messages;
}

// The pointer where a fader's track shows `fraction` of its length.
QPointF along(const Fader* fader, double fraction) {
    const QRectF t = fader->trackRect();
    return {t.left() + fraction * t.width(), t.center().y()};
}

// A fault that makes every tap fail.
SimServer::Fault tapsFail() {
    SimServer::Fault fault;
    fault.operation = ServerCore::Operation::createTap;
    return fault;
}

// The simulated desktop with the panel on it: Music and Radio play, on speakers or headphones.
// A test that wants another desktop passes `start` false, sets it up and calls start().
struct PanelWorld : ShellWorld {
    static constexpr const char* music = "org.example.Music";
    static constexpr const char* radio = "org.example.Radio";
    explicit PanelWorld(bool startNow = true, bool hardwareVolume = true)
        : ShellWorld(hardwareVolume) {
        headphones = sim.addDevice(test::deviceSetup("headphones", "Headphones"));
        services.loginItem = {[this] { return loginEnabled; },
                              [this](bool on) { return !loginFails && (loginEnabled = on, true); }};
        services.quit = [this] { ++quits; };
        services.actions.openDevicesWindow = [this] { ++devicesWindows; };
        if (!startNow) return;
        addApp(501, music, "Music", SimServer::Signal::sine(0.5f));
        radioProcess = addApp(502, radio, "Radio");
        start();
    }
    ~PanelWorld() {
        panel.reset();
        adapter.reset();
        engine.reset();
        scheduler.runPending();
    }
    // The engine (whose access probe is never run when `probe` is false) and the panel.
    void start(bool probe = true) {
        EngineServices engineServices = this->engineServices();
        if (!probe) engineServices.runInBackground = [](std::function<void()>) {};
        engine = std::make_unique<MixerEngine>(engineServices);
        adapter = std::make_unique<EngineAdapter>(*engine);
        panel = std::make_unique<PanelView>(*adapter, services);
        panel->show();
        settle();
    }
    // Runs the audio clock and the main queue for 0.2 s, then lays the panel out.
    void settle() {
        ShellWorld::settle();
        QApplication::processEvents();
        panel->resize(panel->sizeHint());
        QApplication::processEvents();
    }
    AppRow* row(const std::string& id) const { return panel->apps()->row(id); }
    AppSettings settings(const std::string& id) const { return engine->settings(id); }
    float volume(const std::string& id) const { return settings(id).volume; }
    ObjectId headphones = 0, radioProcess = 0;
    PanelView::Services services;
    std::unique_ptr<MixerEngine> engine;
    std::unique_ptr<EngineAdapter> adapter;
    std::unique_ptr<PanelView> panel;
    bool loginEnabled = false, loginFails = false;
    int quits = 0, devicesWindows = 0;
};

// The row's fader: a drag snaps at unity, a double click puts the app back at 100 %, and the
// engine's own changes move the fader.
TEST(PanelView, AppFaderSnapsAtUnityAndStoresExactlyOne) {
    PanelWorld world;
    MeteredFader* fader = world.row(PanelWorld::music)->fader();
    int snaps = 0;
    fader->setOnSnap([&] { ++snaps; });
    test::press(fader, along(fader, 0.25));
    EXPECT_FLOAT_EQ(world.volume(PanelWorld::music), 0.5f);
    test::move(fader, along(fader, 0.515)); // 103 %
    EXPECT_EQ(world.volume(PanelWorld::music), 1.0f);
    EXPECT_EQ(snaps, 1);
    test::release(fader, along(fader, 0.515));
    world.engine->setVolume(1.6f, PanelWorld::music);
    EXPECT_FLOAT_EQ(fader->value(), 1.6f);
    test::doubleClick(fader, along(fader, 0.8));
    EXPECT_EQ(world.volume(PanelWorld::music), 1.0f);
}

// The row's equaliser editor: opened by its button, a preset goes to the engine (its curve's drags
// are EQEditorWidget's). One editor at a time; it goes with its app's row and does not open again
// when the app comes back.
TEST(PanelView, EqualiserInTheRowReachesTheEngineOneEditorAtATime) {
    PanelWorld world;
    AppRow* row = world.row(PanelWorld::music);
    const OpenEditor& open = world.panel->apps()->openEditor();
    row->eqButton()->click();
    EXPECT_EQ(open.appID(), PanelWorld::music);
    ASSERT_NE(row->editor(), nullptr);
    world.settle();
    row->editor()->chip(EQPreset::bass)->click();
    EXPECT_EQ(world.settings(PanelWorld::music).eq, EQSettings::fromPreset(EQPreset::bass));
    row->eqButton()->click();
    EXPECT_FALSE(open.appID());
    EXPECT_EQ(row->editor(), nullptr);
    row->eqButton()->click();
    world.row(PanelWorld::radio)->eqButton()->click();
    EXPECT_EQ(open.appID(), PanelWorld::radio);
    EXPECT_EQ(row->editor(), nullptr);
    world.sim.removeProcess(world.radioProcess);
    world.settle();
    EXPECT_FALSE(open.appID()) << "the editor goes with its row";
    world.addApp(502, PanelWorld::radio, "Radio");
    world.settle();
    ASSERT_NE(world.row(PanelWorld::radio), nullptr);
    EXPECT_FALSE(open.appID()) << "and does not open again";
}

// Solo by the row's button greys the other rows and keeps their meters empty until ended; the
// row's menu sets the output and resets the app.
TEST(PanelView, SoloAndTheRowMenuReachTheEngine) {
    PanelWorld world;
    world.engine->setMetering(true);
    world.settle();
    AppRow* radio = world.row(PanelWorld::radio);
    ASSERT_GT(radio->fader()->level().value_or(0), 0.0f) << "the radio's meter shows its level";
    world.row(PanelWorld::music)->soloButton()->click();
    world.settle();
    EXPECT_EQ(world.engine->soloID(), PanelWorld::music);
    EXPECT_TRUE(radio->isGrey());
    world.scheduler.advance(0.5); // meter ticks keep it empty
    EXPECT_EQ(radio->fader()->level(), 0.0f);
    world.panel->apps()->endSoloButton()->click();
    world.settle();
    EXPECT_FALSE(world.engine->soloID());
    EXPECT_FALSE(radio->isGrey());
    EXPECT_GT(radio->fader()->level().value_or(0), 0.0f);
    const auto choose = [&](const char* entry) {
        std::unique_ptr<QMenu> menu(radio->contextMenu());
        find(menu.get(), entry)->trigger();
    };
    choose("Headphones");
    EXPECT_EQ(world.settings(PanelWorld::radio).outputUID, "headphones");
    world.engine->setVolume(1.5f, PanelWorld::radio);
    choose("Reset");
    EXPECT_EQ(world.settings(PanelWorld::radio), AppSettings{});
}

// The call module shows during a call with lowering on and its button pauses the lowering; an
// error is told until put away.
TEST(PanelView, CallAndErrorModules) {
    PanelWorld world;
    const ObjectId call =
        world.addApp(503, "org.mozilla.firefox", "Firefox", SimServer::Signal::silence());
    world.settle();
    world.sim.setProcessRunning(call, true, true);
    world.settle();
    ASSERT_TRUE(world.engine->activeCall());
    CallModule* module = world.panel->call();
    EXPECT_TRUE(module->isVisible());
    EXPECT_TRUE(world.row(PanelWorld::music)->showsLowered());
    module->button()->click();
    EXPECT_TRUE(world.engine->duckingPausedForCall());
    EXPECT_FALSE(world.row(PanelWorld::music)->showsLowered()) << "reconciled at once";
    ErrorModule* error = world.panel->error();
    world.probes.injectFault(tapsFail());
    world.engine->setVolume(0.5f, PanelWorld::music);
    world.settle();
    ASSERT_TRUE(world.engine->lastError());
    EXPECT_EQ(error->subtitleLabel()->text().toStdString(), *world.engine->lastError());
    EXPECT_TRUE(error->isVisible());
    error->button()->click();
    EXPECT_FALSE(world.engine->lastError());
    EXPECT_FALSE(error->isVisible());
}

// Inside a sandbox, where access can be missing, the access notice comes first and its button
// runs the probe; then the notice of the volume keys, which sxhkd holds.
TEST(PanelView, NoticesForAccessAndVolumeKeys) {
    PanelWorld world(false, /*hardwareVolume=*/false);
    world.defaults->remove(AudioPermission::grantedKey);
    world.services.sandboxed = true;
    world.services.volumeKeyHolder = [] {
        return DesktopSession::KeyHolder{"sxhkd", "its sxhkdrc"};
    };
    int enables = 0;
    world.services.actions.enableVolumeKeys = [&] { ++enables; };
    world.start(/*probe=*/false);
    PanelView& panel = *world.panel;
    EXPECT_TRUE(panel.access()->isVisible());
    EXPECT_FALSE(panel.volumeKeys()->isVisible()) << "access first";
    panel.access()->button()->click();
    ASSERT_EQ(world.engine->audioAccess(), AudioPermission::Status::checking) << "the probe runs";
    world.defaults->setBoolean(AudioPermission::grantedKey, true);
    world.engine->refreshAudioAccess();
    world.settle();
    EXPECT_FALSE(panel.access()->isVisible());
    EXPECT_TRUE(panel.volumeKeys()->isVisible());
    panel.volumeKeys()->button()->click();
    EXPECT_EQ(enables, 1);
}

// The disclosure's text, the empty note and the rows start 16 in, under "Apps".
TEST(PanelView, SilentAppsBehindTheDisclosure) {
    PanelWorld world(false);
    world.addApp(601, "org.example.Notes", "Notes", SimServer::Signal::silence(), false);
    world.addApp(602, "org.example.Mail", "Mail", SimServer::Signal::silence(), false);
    world.start();
    AppsModule* apps = world.panel->apps();
    EXPECT_TRUE(apps->emptyLabel()->isVisible() && apps->rows().empty());
    apps->silentButton()->click();
    finish(apps->silentButton()->findChild<QVariantAnimation*>());
    ASSERT_EQ(apps->rows().size(), 2u);
    world.settle();
    const auto left = [apps](const QWidget* w, int inset = 0) {
        return w->mapTo(apps, QPoint(inset, 0)).x();
    };
    EXPECT_EQ(left(apps->silentButton(), SilentAppsButton::ringRoom), 16);
    EXPECT_EQ(left(apps->emptyLabel(), apps->emptyLabel()->contentsRect().left()), 16);
    for (AppRow* row : apps->rows())
        EXPECT_TRUE(left(row) == 16 && row->isCompact());
    apps->silentButton()->click();
    EXPECT_TRUE(apps->rows().empty());
}

// Counts the pixels of `image` inside `area` that are drawn at all.
int drawn(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y).alpha() > 8;
    return count;
}

// The module's glass grows round the opening editor, which fades in drawn from its first frame
// (an effect nested in the row's left it blank), painted on screen at every step of the way
// without a word from Qt's painters.
TEST(PanelView, OpeningTheEqualiserRevealsItAsTheModuleGrows) {
    PanelWorld world;
    PanelView& panel = *world.panel;
    AppRow* row = world.row(PanelWorld::music);
    const int appsBefore = panel.apps()->height();
    QImage first, middle;
    QRect place;
    const QStringList messages = qtMessagesDuring([&] {
        row->eqButton()->click();
        QCoreApplication::sendPostedEvents();
        panel.repaint();
        QVariantAnimation* glide = panel.stack()->animation();
        ASSERT_NE(glide, nullptr) << "the editor's room opens with the spring";
        glide->pause();
        glide->setCurrentTime(glide->duration() / 5);
        panel.repaint();
        const int shown = panel.apps()->mask().boundingRect().height();
        EXPECT_GT(shown, appsBefore);
        EXPECT_LT(shown, panel.apps()->height()) << "the editor is revealed, not squeezed";
        EQEditor* editor = row->editor();
        ASSERT_NE(editor, nullptr);
        QVariantAnimation* fade = Transition::running(editor);
        ASSERT_NE(fade, nullptr) << "and fades in";
        EXPECT_EQ(editor->graphicsEffect(), nullptr) << "drawn by the row's effect: none nested";
        fade->pause();
        fade->setCurrentTime(0);
        first = editor->grab().toImage();
        place = QRect(editor->mapTo(row, QPoint()), editor->size());
        for (int step = 1; step <= 4; ++step) {
            fade->setCurrentTime(fade->duration() * step / 4);
            glide->setCurrentTime(glide->duration() * step / 4);
            panel.repaint();
            if (step == 2) middle = row->grab().toImage();
            (void)panel.grab();
        }
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    EXPECT_FALSE(messages.join('\n').contains("Painter")) << messages.join('\n').toStdString();
    EXPECT_GT(drawn(first, first.rect()), first.width() * first.height() / 10) << "at once";
    EXPECT_GT(drawn(middle, place), 0) << "half way in, the editor shows";
    EXPECT_GT(panel.apps()->height(), appsBefore + 100);
}

// The output menu, the settings menu (Open at login reads the state of now: turned on by the first
// run after the panel was made) and the microphones' toggle.
TEST(PanelView, DeviceSettingsAndMicrophoneControls) {
    PanelWorld world;
    const auto menuOf = [](auto* owner) { return std::unique_ptr<QMenu>(owner->menu()); };
    find(menuOf(world.panel->sound()->deviceMenu()).get(), "Headphones")->trigger();
    EXPECT_EQ(world.sim.defaultDevice(Role::output), world.headphones);
    EXPECT_EQ(world.sim.defaultDevice(Role::alerts), world.headphones);
    SettingsButton* settings = world.panel->settings();
    int beeps = 0;
    settings->beep = [&] { ++beeps; };
    std::unique_ptr<QMenu> menu = menuOf(settings);
    find(menu.get(), "Lower other apps")->trigger();
    EXPECT_FALSE(world.engine->duckingEnabled());
    world.loginEnabled = true;
    menu = menuOf(settings);
    EXPECT_TRUE(find(menu.get(), "Open at login")->isChecked());
    find(menu.get(), "Open at login")->trigger();
    EXPECT_FALSE(world.loginEnabled);
    world.loginFails = true;
    settings->setLaunchAtLogin(true);
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(settings->launchAtLogin()) << "shows the real state";
    find(menu.get(), QString::fromUtf8("Devices…"))->trigger();
    find(menu.get(), "Quit")->trigger();
    EXPECT_EQ(std::pair(world.devicesWindows, world.quits), std::pair(1, 1));
    world.sim.addDevice(test::deviceSetup("mic", "Microphone", Transport::builtIn, {}, {1}));
    world.settle();
    world.panel->mic()->toggle()->click();
    EXPECT_TRUE(world.engine->micMuted());
    EXPECT_TRUE(world.panel->mic()->toggle()->isOn());
}

// Whether the open editor of `appID` stands wholly in the visible part of the apps' list.
::testing::AssertionResult editorInView(const PanelView& panel, const std::string& appID) {
    const AppRow* row = panel.apps()->row(appID);
    const EQEditor* editor = row ? row->editor() : nullptr;
    if (!editor) return ::testing::AssertionFailure() << "no editor";
    const QWidget* viewport = panel.apps()->list()->viewport();
    const QRect at(editor->mapTo(viewport, QPoint()), editor->size());
    if (viewport->rect().contains(at)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "editor at y " << at.top() << " to " << at.bottom()
                                         << ", list shows 0 to " << viewport->height() - 1;
}

// Ends `panel`'s glides and lets its layout settle.
void atRest(PanelView& panel) {
    for (int i = 0; i < 4; ++i) {
        if (auto* glide = panel.stack()->animation()) finish(glide);
        QApplication::processEvents();
    }
}

// On a short screen (540 points: a 1080-pixel one at twice the scale) the rows scroll while the
// rest of the panel stays in view, and an editor opened near the end of the visible rows, or
// opened before the panel is, ends wholly in view once it has its height.
TEST(PanelView, OnAShortScreenTheRowsScrollAndAnOpenedEditorEndsInView) {
    PanelWorld world;
    for (int i = 0; i < 8; ++i)
        world.addApp(600 + i, "org.example.App" + std::to_string(i), "App " + std::to_string(i));
    PanelView& panel = *world.panel;
    const auto settle = [&] {
        world.settle();
        atRest(panel);
        world.settle();
    };
    settle();
    const int unlimited = panel.sizeHint().height();
    const int room = 540 - 2 * GlassPanel::padding - StatusPanelController::screenMargin;
    ASSERT_GT(unlimited, room) << "the case is real: all of it would not fit";
    panel.setAvailableHeight(unlimited + 100);
    settle();
    EXPECT_EQ(panel.sizeHint().height(), unlimited) << "given room enough, nothing scrolls";
    panel.setAvailableHeight(room);
    settle();
    EXPECT_LE(panel.sizeHint().height(), room);
    const QWidget* bottom = panel.mic()->parentWidget();
    EXPECT_LE(bottom->mapTo(&panel, QPoint(0, bottom->height() - 1)).y(), room)
        << "microphone and settings stay in view";
    QScrollBar* scroll = panel.apps()->list()->verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 0) << "the rows scroll";
    ASSERT_EQ(scroll->value(), 0);
    // The last row whose button shows: its editor opens below the visible part.
    const QWidget* viewport = panel.apps()->list()->viewport();
    AppRow* clicked = nullptr;
    for (AppRow* row : panel.apps()->rows())
        if (QRect(row->mapTo(viewport, QPoint()), row->size()).bottom() < viewport->height())
            clicked = row;
    ASSERT_NE(clicked, nullptr);
    clicked->eqButton()->click();
    settle();
    EXPECT_TRUE(editorInView(panel, clicked->app().id));
    EXPECT_GT(scroll->value(), 0);
    // Opened before the panel is, the editor is in view when the panel opens.
    PanelView opened(*world.adapter, {});
    opened.apps()->openEditor().set("org.example.App7");
    opened.setAvailableHeight(room);
    opened.resize(opened.sizeHint());
    opened.show();
    atRest(opened);
    EXPECT_TRUE(editorInView(opened, "org.example.App7"));
    // Once the user scrolls, the list stays where they put it when it changes again.
    QScrollBar* bar = opened.apps()->list()->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    world.addApp(700, "org.example.Late", "Late");
    world.settle();
    atRest(opened);
    ASSERT_NE(opened.apps()->row("org.example.Late"), nullptr);
    EXPECT_EQ(bar->value(), 0);
}

TEST(PanelView, TabVisitsEveryControlWithARingAndClickedFadersTakeTheKeys) {
    PanelWorld world;
    PanelView& panel = *world.panel;
    world.engine->setSoloID(PanelWorld::radio); // "End solo" shows
    panel.apps()->openEditor().set(PanelWorld::music);
    world.settle();
    panel.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    panel.sound()->muteButton()->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> visited{QApplication::focusWidget()};
    for (int i = 0; i < 60; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* next = QApplication::focusWidget();
        if (!next || next == visited.front()) break;
        if (next != visited.back()) visited.push_back(next);
        ASSERT_TRUE(FocusRing::shown(next)) << next->metaObject()->className();
        // The row the focus is in shows its buttons.
        for (AppRow* row : panel.apps()->rows())
            EXPECT_TRUE(!row->isAncestorOf(next) || row->muteButton()->isShown());
    }
    const auto contains = [&](QWidget* w) { return std::ranges::count(visited, w) > 0; };
    // Every control, the rows' buttons and the EQ curve (once: Tab walks its bands before it
    // leaves) among them; top to bottom, the master first and the settings button last.
    for (QWidget* w : panel.focusChain()) {
        if (!w->isVisibleTo(&panel) && !qobject_cast<GhostButton*>(w)) continue;
        EXPECT_TRUE(contains(w)) << w->metaObject()->className() << " "
                                 << w->accessibleName().toStdString();
    }
    AppRow* music = world.row(PanelWorld::music);
    EXPECT_TRUE(contains(music->soloButton()) && contains(music->editor()->curve()));
    EXPECT_EQ(visited[1], panel.sound()->fader());
    EXPECT_EQ(visited.back(), panel.settings());
    // A fader clicked (through the window, as a real click comes) takes the focus without a ring;
    // the keys then move it, and the ring shows.
    MeteredFader* radio = world.row(PanelWorld::radio)->fader();
    QTest::mouseClick(radio, Qt::LeftButton, {}, along(radio, 0.25).toPoint());
    EXPECT_TRUE(radio->hasFocus() && !FocusRing::shown(radio));
    world.engine->setVolume(0.5f, PanelWorld::radio);
    QTest::keyClick(radio, Qt::Key_Right);
    EXPECT_FLOAT_EQ(world.volume(PanelWorld::radio), 0.55f);
    EXPECT_TRUE(FocusRing::shown(radio));
}

// Every text the panel shows, in one pass over its widgets: each visible label and button with
// its text, whether the widget has the room the text asks for (its width for one line, its height
// for a wrapped label) and whether it was cut (ends in "…", or an eliding label says so).
struct ShownText {
    QString kind, text;
    bool fits = false, cut = false;
};

std::vector<ShownText> shownTexts(const QWidget& panel) {
    std::vector<ShownText> texts;
    for (const QWidget* w : panel.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&panel)) continue;
        ShownText shown{w->metaObject()->className(), {}, w->width() >= w->sizeHint().width()};
        if (const auto* label = qobject_cast<const QLabel*>(w)) {
            shown.text = label->text();
            if (label->wordWrap()) shown.fits = w->height() >= w->heightForWidth(w->width());
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
            shown.text = button->text();
        }
        if (shown.text.isEmpty()) continue;
        shown.cut = shown.text.endsWith(QChar(0x2026));
        if (const auto* elided = qobject_cast<const ElidedLabel*>(w)) {
            shown.cut = elided->isElided();
            shown.fits = !shown.cut;
        }
        texts.push_back(shown);
    }
    return texts;
}

// The panel with as many of its texts as one desktop shows: on an output without a volume of its
// own whose keys GNOME holds, an app soloed with its equaliser open, a call lowering the others,
// a silent app, a microphone and the error of taps that fail; or, inside a sandbox before access
// is granted (no taps yet), the access notice instead of the keys' and the error.
std::vector<ShownText> panelTexts(bool sandboxed) {
    PanelWorld world(false, /*hardwareVolume=*/false);
    if (sandboxed) world.defaults->remove(AudioPermission::grantedKey);
    world.sim.addDevice(test::deviceSetup("mic", "Microphone", Transport::builtIn, {}, {1}));
    world.addApp(501, PanelWorld::music, "Music", SimServer::Signal::sine(0.4f));
    world.addApp(502, PanelWorld::radio, "Radio", SimServer::Signal::sine(0.4f));
    world.addApp(503, "org.example.Notes", "Notes", SimServer::Signal::silence(), false);
    const ObjectId call = world.addApp(504, "us.zoom.Zoom", "Zoom", SimServer::Signal::sine(0.4f));
    world.probes.injectFault(tapsFail());
    world.services.sandboxed = sandboxed;
    world.services.volumeKeyHolder = [] {
        return DesktopSession::volumeKeyHolder({"gsd-media-keys"});
    };
    world.start(/*probe=*/false);
    world.sim.setProcessRunning(call, true, true);
    world.engine->setSoloID(PanelWorld::music);
    world.panel->apps()->openEditor().set(PanelWorld::music);
    world.engine->setEQ(EQSettings::fromPreset(EQPreset::clarity), PanelWorld::music);
    world.settle();
    PanelView& panel = *world.panel;
    EXPECT_TRUE(panel.call()->isVisible() && panel.mic()->isVisible() &&
                panel.apps()->silentButton()->isVisible());
    EXPECT_EQ(panel.error()->isVisible(), !sandboxed) << "no taps before access";
    EXPECT_TRUE(sandboxed ? panel.access()->isVisible() : panel.volumeKeys()->isVisible());
    return shownTexts(panel);
}

TEST(PanelView, TheGermanTextsFitWhereTheEnglishOnesDo) {
    for (bool sandboxed : {false, true}) {
        const std::vector<ShownText> english = panelTexts(sandboxed);
        std::vector<ShownText> german;
        {
            Translations translations(QLocale(QLocale::German, QLocale::Germany));
            ASSERT_EQ(translations.language(), "de");
            german = panelTexts(sandboxed);
        }
        ASSERT_EQ(german.size(), english.size()) << "the same widgets show text";
        ASSERT_GT(english.size(), 15u);
        int translated = 0;
        for (std::size_t i = 0; i < english.size(); ++i) {
            const ShownText &en = english[i], &de = german[i];
            ASSERT_EQ(de.kind, en.kind);
            translated += de.text != en.text;
            EXPECT_TRUE(de.fits || !en.fits)
                << de.kind.toStdString() << " \"" << de.text.toStdString()
                << "\" lacks room where \"" << en.text.toStdString() << "\" had it";
            EXPECT_TRUE(!de.cut || en.cut) << "cut: " << de.text.toStdString();
        }
        EXPECT_GT(translated, int(english.size()) / 2) << "the panel is in German";
    }
}

} // namespace
} // namespace voxlane
