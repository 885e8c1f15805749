<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AppRowRules</name>
    <message>
        <source>Lowered for your call</source>
        <translation>Für Ihren Anruf leiser gestellt</translation>
    </message>
    <message>
        <source>Limiter is catching peaks</source>
        <translation>Der Limiter fängt Spitzen ab</translation>
    </message>
    <message>
        <source>Equalizer</source>
        <translation>Equalizer</translation>
    </message>
    <message>
        <source>End solo</source>
        <translation>Solo beenden</translation>
    </message>
    <message>
        <source>Solo</source>
        <translation>Solo</translation>
    </message>
    <message>
        <source>Unmute</source>
        <translation>Stummschaltung aufheben</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Stummschalten</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Same as system</source>
        <translation>Wie im System</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>%1 volume</source>
        <translation>Lautstärke von %1</translation>
    </message>
</context>
<context>
    <name>DesktopSession</name>
    <message>
        <source>GNOME’s media keys</source>
        <translation>GNOMEs Medientasten</translation>
    </message>
    <message>
        <source>Settings → Keyboard → Keyboard Shortcuts → Sound and Media</source>
        <translation>Einstellungen → Tastatur → Tastaturkürzel → Ton und Medien</translation>
    </message>
    <message>
        <source>KDE’s global shortcuts</source>
        <translation>KDEs globale Kurzbefehle</translation>
    </message>
    <message>
        <source>System Settings → Shortcuts → Audio Volume</source>
        <translation>Systemeinstellungen → Kurzbefehle → Audiolautstärke</translation>
    </message>
    <message>
        <source>Xfce’s volume daemon</source>
        <translation>Xfces Lautstärkedienst</translation>
    </message>
    <message>
        <source>its settings, or stop xfce4-volumed-pulse</source>
        <translation>seine Einstellungen, oder xfce4-volumed-pulse beenden</translation>
    </message>
    <message>
        <source>the Xfce panel’s audio plugin</source>
        <translation>das Audio-Plugin der Xfce-Leiste</translation>
    </message>
    <message>
        <source>the plugin’s properties: “Enable keyboard shortcuts for volume control”</source>
        <translation>die Eigenschaften des Plugins: „Tastaturkürzel für die Lautstärkeregelung aktivieren“</translation>
    </message>
    <message>
        <source>Cinnamon’s media keys</source>
        <translation>Cinnamons Medientasten</translation>
    </message>
    <message>
        <source>System Settings → Keyboard → Shortcuts → Sound and Media</source>
        <translation>Systemeinstellungen → Tastatur → Tastaturkürzel → Ton und Medien</translation>
    </message>
    <message>
        <source>MATE’s settings daemon</source>
        <translation>MATEs Einstellungsdienst</translation>
    </message>
    <message>
        <source>Keyboard Shortcuts → Sound and Media</source>
        <translation>Tastenkombinationen → Ton und Medien</translation>
    </message>
    <message>
        <source>LXQt’s global keys</source>
        <translation>LXQts globale Tasten</translation>
    </message>
    <message>
        <source>LXQt Configuration → Shortcut Keys</source>
        <translation>LXQt-Konfiguration → Tastenkürzel</translation>
    </message>
    <message>
        <source>its sxhkdrc</source>
        <translation>die sxhkdrc</translation>
    </message>
    <message>
        <source>its preferences → Hotkeys</source>
        <translation>seine Einstellungen → Tastenkürzel</translation>
    </message>
    <message>
        <source>Open your desktop’s sound settings</source>
        <translation>Öffnen Sie die Audioeinstellungen Ihrer Arbeitsumgebung</translation>
    </message>
</context>
<context>
    <name>DeviceSectionRules</name>
    <message>
        <source>Never auto-select</source>
        <translation>Nie automatisch wählen</translation>
    </message>
    <message>
        <source>In use</source>
        <translation>Wird verwendet</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>Top connected device is used</source>
        <translation>Das oberste verbundene Gerät wird verwendet</translation>
    </message>
    <message>
        <source>Drag to set a priority</source>
        <translation>Ziehen, um eine Rangfolge festzulegen</translation>
    </message>
    <message>
        <source>Allow automatic switching</source>
        <translation>Automatisches Umschalten erlauben</translation>
    </message>
    <message>
        <source>Never switch to this device automatically</source>
        <translation>Nie automatisch zu diesem Gerät wechseln</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>Forget</source>
        <translation>Vergessen</translation>
    </message>
    <message>
        <source>Alt+Up or Alt+Down moves it in the list</source>
        <translation>Alt+Hoch oder Alt+Runter verschiebt es in der Liste</translation>
    </message>
</context>
<context>
    <name>DevicesWindowController</name>
    <message>
        <source>Devices</source>
        <translation>Geräte</translation>
    </message>
</context>
<context>
    <name>EQ</name>
    <message>
        <source>Low</source>
        <translation>Tief</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Hoch</translation>
    </message>
</context>
<context>
    <name>EQCurveRules</name>
    <message>
        <source>%1 dB</source>
        <translation>%1 dB</translation>
    </message>
    <message>
        <source>%1 %2 dB</source>
        <translation>%1 %2 dB</translation>
    </message>
</context>
<context>
    <name>EQPresets</name>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Unchanged</source>
        <translation>Unverändert</translation>
    </message>
    <message>
        <source>Voice</source>
        <translation>Stimme</translation>
    </message>
    <message>
        <source>Clearer speech, less rumble – for calls, podcasts and videos</source>
        <translation>Klarere Sprache, weniger Dröhnen – für Anrufe, Podcasts und Videos</translation>
    </message>
    <message>
        <source>Bass</source>
        <translation>Bass</translation>
    </message>
    <message>
        <source>More punch in the low end</source>
        <translation>Mehr Druck in den Tiefen</translation>
    </message>
    <message>
        <source>Clarity</source>
        <translation>Klarheit</translation>
    </message>
    <message>
        <source>More sparkle and detail</source>
        <translation>Mehr Brillanz und Details</translation>
    </message>
    <message>
        <source>Warmth</source>
        <translation>Wärme</translation>
    </message>
    <message>
        <source>Softer, less harsh</source>
        <translation>Weicher, weniger scharf</translation>
    </message>
    <message>
        <source>Night</source>
        <translation>Nacht</translation>
    </message>
    <message>
        <source>Less bass, so you don’t disturb anyone</source>
        <translation>Weniger Bass, damit Sie niemanden stören</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>Eigene</translation>
    </message>
    <message>
        <source>Your own curve</source>
        <translation>Ihre eigene Kurve</translation>
    </message>
</context>
<context>
    <name>FaderRules</name>
    <message>
        <source>%1 percent</source>
        <translation>%1 Prozent</translation>
    </message>
</context>
<context>
    <name>OnboardingWindowController</name>
    <message>
        <source>Welcome to Voxlane</source>
        <translation>Willkommen bei Voxlane</translation>
    </message>
</context>
<context>
    <name>PanelRules</name>
    <message>
        <source>Waiting for the audio server…</source>
        <translation>Warten auf den Audioserver…</translation>
    </message>
    <message>
        <source>No output device</source>
        <translation>Kein Ausgabegerät</translation>
    </message>
    <message>
        <source>Output device</source>
        <translation>Ausgabegerät</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Device Priorities…</source>
        <translation>Geräteprioritäten…</translation>
    </message>
    <message>
        <source>Volume keys for %1</source>
        <translation>Lautstärketasten für %1</translation>
    </message>
    <message>
        <source>this display</source>
        <translation>diesen Bildschirm</translation>
    </message>
    <message>
        <source>The desktop keeps them under Wayland</source>
        <translation>Unter Wayland behält der Desktop sie</translation>
    </message>
    <message>
        <source>Held by %1</source>
        <translation>Belegt durch %1</translation>
    </message>
    <message>
        <source>another program</source>
        <translation>ein anderes Programm</translation>
    </message>
    <message>
        <source>In a Wayland session only the desktop receives the volume keys. Use the slider here, or an X11 session for the keys.</source>
        <translation>In einer Wayland-Sitzung erhält nur der Desktop die Lautstärketasten. Verwenden Sie den Regler hier oder für die Tasten eine X11-Sitzung.</translation>
    </message>
    <message>
        <source>Another program</source>
        <translation>ein anderes Programm</translation>
    </message>
    <message>
        <source>%1 has the volume keys. Turn its volume shortcuts off, and Voxlane takes them within 2&#xa0;s.</source>
        <translation>Die Lautstärketasten sind durch %1 belegt. Schalten Sie dort die Lautstärkekürzel ab, dann übernimmt Voxlane sie innerhalb von 2&#xa0;s.</translation>
    </message>
    <message>
        <source>%1 has the volume keys. Turn its volume shortcuts off (%2), and Voxlane takes them within 2&#xa0;s.</source>
        <translation>Die Lautstärketasten sind durch %1 belegt. Schalten Sie dort die Lautstärkekürzel ab (%2), dann übernimmt Voxlane sie innerhalb von 2&#xa0;s.</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>Aktivieren</translation>
    </message>
    <message>
        <source>Audio server access needed</source>
        <translation>Zugriff auf den Audioserver nötig</translation>
    </message>
    <message>
        <source>Other apps can’t be heard</source>
        <translation>Andere Apps sind nicht hörbar</translation>
    </message>
    <message>
        <source>Allow PipeWire in the sandbox’s permissions</source>
        <translation>PipeWire in den Rechten der Sandbox erlauben</translation>
    </message>
    <message>
        <source>Required to control apps</source>
        <translation>Nötig, um Apps zu steuern</translation>
    </message>
    <message>
        <source>Check that sound plays, then try again</source>
        <translation>Tonausgabe prüfen, dann erneut versuchen</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>Prüfen</translation>
    </message>
    <message>
        <source>On a call · %1</source>
        <translation>Im Gespräch · %1</translation>
    </message>
    <message>
        <source>Other apps at full volume</source>
        <translation>Andere Apps bei voller Lautstärke</translation>
    </message>
    <message>
        <source>Other apps muted</source>
        <translation>Andere Apps stumm</translation>
    </message>
    <message>
        <source>Other apps at %1&#xa0;%</source>
        <translation>Andere Apps bei %1&#xa0;%</translation>
    </message>
    <message>
        <source>Lower</source>
        <translation>Leiser</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Apps</source>
        <translation>Apps</translation>
    </message>
    <message>
        <source>End solo</source>
        <translation>Solo beenden</translation>
    </message>
    <message>
        <source>No apps are playing sound.</source>
        <translation>Keine App gibt Ton wieder.</translation>
    </message>
    <message>
        <source>Show less</source>
        <translation>Weniger anzeigen</translation>
    </message>
    <message numerus="yes">
        <source>%n silent app(s)</source>
        <translation>
            <numerusform>%n stille App</numerusform>
            <numerusform>%n stille Apps</numerusform>
        </translation>
    </message>
    <message>
        <source>Ctrl+Alt+Super+M</source>
        <translation>Strg+Alt+Super+M</translation>
    </message>
    <message>
        <source>Ctrl Alt Super M</source>
        <translation>Strg Alt Super M</translation>
    </message>
    <message>
        <source>All muted</source>
        <translation>Alle stumm</translation>
    </message>
    <message>
        <source>Unmute microphones (%1)</source>
        <translation>Mikrofone einschalten (%1)</translation>
    </message>
    <message>
        <source>Mute all microphones (%1)</source>
        <translation>Alle Mikrofone stummschalten (%1)</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Mikrofon</translation>
    </message>
    <message>
        <source>Lower other apps during calls: on</source>
        <translation>Andere Apps bei Anrufen leiser: an</translation>
    </message>
    <message>
        <source>Lower other apps during calls: off</source>
        <translation>Andere Apps bei Anrufen leiser: aus</translation>
    </message>
    <message>
        <source>Lower to</source>
        <translation>Absenken auf</translation>
    </message>
    <message>
        <source>Calls</source>
        <translation>Anrufe</translation>
    </message>
    <message>
        <source>Lower other apps</source>
        <translation>Andere Apps leiser stellen</translation>
    </message>
    <message>
        <source>Open at login</source>
        <translation>Beim Anmelden öffnen</translation>
    </message>
    <message>
        <source>Devices…</source>
        <translation>Geräte…</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>Nach Aktualisierungen suchen…</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Stumm</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>Voxlane is updated through your distribution’s package manager, together with the rest of your system: run your software updater, or “sudo apt upgrade” on Debian and Ubuntu.</source>
        <translation>Voxlane wird über die Paketverwaltung Ihrer Distribution zusammen mit dem übrigen System aktualisiert: Starten Sie die Softwareaktualisierung, oder „sudo apt upgrade“ unter Debian und Ubuntu.</translation>
    </message>
    <message>
        <source>This copy of Voxlane was built from its source. To update it, pull the latest source and run “make run” again.</source>
        <translation>Diese Kopie von Voxlane wurde aus dem Quellcode gebaut. Um sie zu aktualisieren, holen Sie den neuesten Quellcode und führen Sie erneut „make run“ aus.</translation>
    </message>
</context>
<context>
    <name>voxlane::DesktopShortcuts</name>
    <message>
        <source>Mute or unmute all microphones</source>
        <translation>Alle Mikrofone stumm- oder einschalten</translation>
    </message>
</context>
<context>
    <name>voxlane::DevicesView</name>
    <message>
        <source>Devices</source>
        <translation>Geräte</translation>
    </message>
    <message>
        <source>Voxlane only steps in when the system switches devices on its own – when something connects or disconnects. If you pick a device yourself, your choice always wins.</source>
        <translation>Voxlane greift nur ein, wenn das System von sich aus das Gerät wechselt – wenn etwas verbunden oder getrennt wird. Wählen Sie selbst ein Gerät, gilt immer Ihre Wahl.</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingabe</translation>
    </message>
    <message>
        <source>Keep Bluetooth headphones in high quality</source>
        <translation>Bluetooth-Kopfhörer in hoher Qualität halten</translation>
    </message>
    <message>
        <source>Alert sounds follow output</source>
        <translation>Hinweistöne folgen der Ausgabe</translation>
    </message>
    <message>
        <source>Notification sounds play where your music plays.</source>
        <translation>Benachrichtigungstöne erklingen dort, wo Ihre Musik spielt.</translation>
    </message>
    <message>
        <source>Uses your computer’s microphone instead, so the headphones don’t drop to muffled call quality (16&#xa0;kHz mono).</source>
        <translation>Nutzt stattdessen das Mikrofon des Computers, damit die Kopfhörer nicht auf dumpfe Gesprächsqualität (16&#xa0;kHz mono) zurückfallen.</translation>
    </message>
</context>
<context>
    <name>voxlane::EQCurve</name>
    <message>
        <source>Equalizer</source>
        <translation>Equalizer</translation>
    </message>
</context>
<context>
    <name>voxlane::ErrorModule</name>
    <message>
        <source>Something went wrong</source>
        <translation>Etwas ist schiefgelaufen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>voxlane::MainMenu</name>
    <message>
        <source>Quit Voxlane</source>
        <translation>Voxlane beenden</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Ausschneiden</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alles auswählen</translation>
    </message>
    <message>
        <source>Close Window</source>
        <translation>Fenster schließen</translation>
    </message>
</context>
<context>
    <name>voxlane::OnboardingView</name>
    <message>
        <source>A slider for every app</source>
        <translation>Ein Regler für jede App</translation>
    </message>
    <message>
        <source>Quieter, louder, or up to 200&#xa0;% – without distortion.</source>
        <translation>Leiser, lauter oder bis zu 200&#xa0;% – ohne Verzerrung.</translation>
    </message>
    <message>
        <source>Quiet during calls</source>
        <translation>Leise bei Anrufen</translation>
    </message>
    <message>
        <source>Music fades down automatically while you’re on a call.</source>
        <translation>Musik wird während eines Anrufs automatisch leiser.</translation>
    </message>
    <message>
        <source>Mute every mic</source>
        <translation>Alle Mikrofone stumm</translation>
    </message>
    <message>
        <source>Ctrl+Alt+Super+M turns every microphone off – and back on.</source>
        <translation>Strg+Alt+Super+M schaltet alle Mikrofone aus – und wieder ein.</translation>
    </message>
    <message>
        <source>Open at login</source>
        <translation>Beim Anmelden öffnen</translation>
    </message>
    <message>
        <source>Welcome to Voxlane</source>
        <translation>Willkommen bei Voxlane</translation>
    </message>
    <message>
        <source>Every app gets its own volume slider.</source>
        <translation>Jede App bekommt ihren eigenen Lautstärkeregler.</translation>
    </message>
    <message>
        <source>Get started</source>
        <translation>Los geht’s</translation>
    </message>
    <message>
        <source>Allow later</source>
        <translation>Später erlauben</translation>
    </message>
</context>
<context>
    <name>voxlane::PermissionCard</name>
    <message>
        <source>Audio server access</source>
        <translation>Zugriff auf den Audioserver</translation>
    </message>
    <message>
        <source>Hearing other apps</source>
        <translation>Andere Apps hören</translation>
    </message>
    <message>
        <source>Voxlane checks once that it hears other apps. You’ll hear a quiet test sound.</source>
        <translation>Voxlane prüft einmal, ob es andere Apps hört. Sie hören dabei einen leisen Testton.</translation>
    </message>
    <message>
        <source>Checking…</source>
        <translation>Wird geprüft…</translation>
    </message>
    <message>
        <source>Listening for a quiet test sound.</source>
        <translation>Horcht auf einen leisen Testton.</translation>
    </message>
    <message>
        <source>Access granted</source>
        <translation>Zugriff erteilt</translation>
    </message>
    <message>
        <source>Voxlane can now control every app on its own.</source>
        <translation>Voxlane kann jetzt jede App einzeln steuern.</translation>
    </message>
    <message>
        <source>No access yet</source>
        <translation>Noch kein Zugriff</translation>
    </message>
    <message>
        <source>Voxlane’s sandbox keeps it from the audio server. Allow it PipeWire (flatpak override --user --filesystem=xdg-run/pipewire-0 io.github.voxlane.Voxlane), then check again.</source>
        <translation>Die Sandbox von Voxlane sperrt den Audioserver aus. Erlauben Sie ihr PipeWire (flatpak override --user --filesystem=xdg-run/pipewire-0 io.github.voxlane.Voxlane) und prüfen Sie dann erneut.</translation>
    </message>
    <message>
        <source>Other apps can’t be heard</source>
        <translation>Andere Apps sind nicht hörbar</translation>
    </message>
    <message>
        <source>The test sound did not come back. Check that sound plays, then check again.</source>
        <translation>Der Testton kam nicht zurück. Prüfen Sie, ob Ton ausgegeben wird, und prüfen Sie dann erneut.</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>Prüfen</translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation>Einstellungen öffnen</translation>
    </message>
    <message>
        <source>Check again</source>
        <translation>Erneut prüfen</translation>
    </message>
</context>
<context>
    <name>voxlane::SettingsButton</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
</context>
<context>
    <name>voxlane::SoundModule</name>
    <message>
        <source>Sound</source>
        <translation>Ton</translation>
    </message>
    <message>
        <source>Master volume</source>
        <translation>Gesamtlautstärke</translation>
    </message>
    <message>
        <source>Unmute</source>
        <translation>Stummschaltung aufheben</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Stummschalten</translation>
    </message>
</context>
<context>
    <name>voxlane::StatusPanelController</name>
    <message>
        <source>muted</source>
        <translation>stumm</translation>
    </message>
    <message>
        <source>Microphones muted</source>
        <translation>Mikrofone stumm</translation>
    </message>
    <message>
        <source>Voxlane – microphones muted</source>
        <translation>Voxlane – Mikrofone stumm</translation>
    </message>
</context>
<context>
    <name>voxlane::VolumeHUDController</name>
    <message>
        <source>Voxlane volume</source>
        <translation>Voxlane-Lautstärke</translation>
    </message>
</context>
</TS>
