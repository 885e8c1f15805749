// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LinuxWorkspace.h"

#include "platform/DesktopEntry.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace voxlane {
namespace {

namespace fs = std::filesystem;
using test::TempDirectory;

class LinuxWorkspaceTest : public ::testing::Test {
protected:
    LinuxWorkspaceTest() {
        for (const char* sub :
             {"proc", "home/applications", "usr/applications", "flatpak/applications"})
            fs::create_directories(dir / sub);
    }

    LinuxWorkspace workspace() const {
        return LinuxWorkspace(dir / "proc", {dir / "home/applications", dir / "usr/applications",
                                             dir / "flatpak/applications"});
    }

    void addProcess(pid_t pid, pid_t parent, const std::string& comm, const std::string& exe,
                    const std::vector<std::string>& arguments = {},
                    const std::string& flatpakId = {}) const {
        const auto base = "proc/" + std::to_string(pid);
        dir.write(base + "/comm", comm + "\n");
        dir.write(base + "/stat", std::to_string(pid) + " (" + comm + ") S " +
                                      std::to_string(parent) + " 1 1 0 -1 4194560 0 0\n");
        if (!exe.empty()) fs::create_symlink(exe, dir / (base + "/exe"));
        std::string cmdline;
        for (const auto& argument : arguments)
            cmdline += argument + '\0';
        dir.write(base + "/cmdline", cmdline);
        if (!flatpakId.empty())
            dir.write(base + "/root/.flatpak-info",
                      "[Application]\nname=" + flatpakId + "\nruntime=runtime/x\n");
    }

    void addEntry(const std::string& where, const std::string& file,
                  const std::string& keys) const {
        dir.write(where + "/applications/" + file, "[Desktop Entry]\nType=Application\n" + keys);
    }

    TempDirectory dir;
};

TEST_F(LinuxWorkspaceTest, AnswersTheWorkspaceQuestionsOfProcessDiscoveryFromProc) {
    addProcess(40, 1, "Web Content", "/usr/lib/firefox/firefox (deleted)");
    dir.write("proc/41/stat", "41 (odd) name) (x) R 40 1 1\n");
    dir.write("proc/42/status", "Name:\tx\nState:\tS\nPPid:\t41\n");
    addEntry("usr", "org.example.Player.desktop",
             "Name=Player\nIcon=player-icon\nExec=/opt/player/player\n");
    addEntry("usr", "helper.desktop", "Name=Helper\nExec=/opt/helper\nNoDisplay=true\n");
    addProcess(60, 1, "player", "/opt/player/player");
    addProcess(61, 60, "player-render", "/opt/player/render");
    addProcess(62, 1, "helper", "/opt/helper");
    const auto workspace = this->workspace();
    const Workspace& asWorkspace = workspace;
    EXPECT_EQ(workspace.processPath(40), "/usr/lib/firefox/firefox");
    EXPECT_EQ(workspace.processName(40), "Web Content");
    EXPECT_EQ(workspace.parentProcess(41), 40); // a name holding ") ("
    EXPECT_EQ(workspace.parentProcess(42), 41); // no stat: status
    EXPECT_FALSE(workspace.processPath(41));
    EXPECT_FALSE(workspace.parentProcess(99));
    EXPECT_EQ(asWorkspace.ownPid(), getpid());
    const auto player = asWorkspace.runningApplication(60);
    ASSERT_TRUE(player);
    EXPECT_EQ(std::tuple(player->appId, player->localizedName, player->icon, player->isRegular),
              std::tuple("org.example.Player", "Player", AppIcon{"player-icon", false}, true));
    EXPECT_FALSE(asWorkspace.runningApplication(62)->isRegular);
    EXPECT_FALSE(asWorkspace.runningApplication(61)); // a renderer is no application...
    EXPECT_EQ(asWorkspace.responsiblePid(61), 60);    // ...but belongs to one
    const auto path = asWorkspace.applicationPath("org.example.Player");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, player->entryPath);
    EXPECT_EQ(asWorkspace.displayName(*path), "Player");
    EXPECT_EQ(asWorkspace.iconForFile(*path), (AppIcon{"player-icon", false}));
    EXPECT_FALSE(asWorkspace.applicationPath("org.example.Missing"));
}

// By executable, window class, the desktop id's last component, a name cut at 15 characters or
// an interpreted script; a visible entry wins and the user's copy replaces the system's (here to
// hide it); a flatpak process is its application, the flatpak command itself none.
TEST_F(LinuxWorkspaceTest, MatchesProcessesToEntriesByExecutableThenNames) {
    addEntry("usr", "firefox.desktop",
             "Name=Firefox\nName[de]=Feuerfuchs\nIcon=firefox\nExec=firefox %u\n");
    addEntry("usr", "org.example.Studio.desktop",
             "Name=Studio\nIcon=/opt/studio/icon.png\nExec=/usr/bin/start-studio\n"
             "StartupWMClass=Studio-Bin\n");
    addEntry("usr", "org.gnome.Lollypop.desktop", "Name=Lollypop\nExec=launch-it\n");
    addEntry("usr", "averyveryverylongname.desktop",
             "Name=Long\nExec=/usr/libexec/averyveryverylongname-x\n");
    addEntry("usr", "io.github.quodlibet.QuodLibet.desktop", "Name=QL\nExec=quodlibet\n");
    addEntry("usr", "python3.desktop", "Name=Python\nExec=python3\n");
    addEntry("usr", "a-vlc-helper.desktop", "Name=VLC helper\nExec=vlc\nNoDisplay=true\n");
    addEntry("usr", "vlc.desktop", "Name=VLC\nExec=/usr/bin/vlc --started-from-file\n");
    addEntry("usr", "chat.desktop", "Name=Chat\nExec=chat\n");
    addEntry("home", "chat.desktop", "Name=My Chat\nExec=chat\nHidden=true\n");
    addEntry("flatpak", "org.mozilla.firefox.desktop",
             "Name=Firefox\nIcon=org.mozilla.firefox\n"
             "Exec=/usr/bin/flatpak run --branch=stable --command=firefox "
             "org.mozilla.firefox @@u %u @@\n");
    addProcess(100, 1, "firefox", "/usr/lib/firefox/firefox");
    addProcess(102, 1, "studio-bin", "/opt/studio/studio-bin");
    addProcess(103, 1, "lollypop", "/usr/bin/lollypop-bin");
    addProcess(104, 1, "averyveryverylo", "/usr/bin/wrapper");
    addProcess(105, 1, "pipewire", "/usr/bin/pipewire");
    addProcess(106, 1, "quodlibet", "/usr/bin/python3.11",
               {"/usr/bin/python3", "-O", "/usr/bin/quodlibet", "--play"});
    addProcess(107, 1, "python3", "/usr/bin/python3.11", {"python3", "/home/a/mix.py"});
    addProcess(300, 1, "vlc", "/usr/bin/vlc");
    addProcess(302, 1, "chat", "/usr/bin/chat");
    addProcess(400, 1, "firefox-bin", "/app/lib/firefox/firefox-bin",
               {"/app/lib/firefox/firefox-bin"}, "org.mozilla.firefox");
    addProcess(401, 1, "bwrap", "/usr/bin/bwrap", {}, "com.example.NoEntry");
    addProcess(402, 1, "flatpak", "/usr/bin/flatpak", {"flatpak", "update"});
    const auto workspace = this->workspace();
    EXPECT_EQ(workspace.desktopApplication(100),
              (DesktopApplication{"firefox", "Firefox", "firefox", true, 100}));
    EXPECT_EQ(
        workspace.desktopApplication(102),
        (DesktopApplication{"org.example.Studio", "Studio", "/opt/studio/icon.png", true, 102}));
    for (auto [pid, id] : {std::pair{103, "org.gnome.Lollypop"},
                           {104, "averyveryverylongname"},
                           {106, "io.github.quodlibet.QuodLibet"},
                           {300, "vlc"}})
        EXPECT_EQ(workspace.desktopApplication(pid)->id, id) << pid;
    for (int pid : {105, 107, 402})
        EXPECT_FALSE(workspace.desktopApplication(pid)) << pid;
    EXPECT_EQ(workspace.desktopApplication(302),
              (DesktopApplication{"chat", "My Chat", "", false, 302}));
    EXPECT_EQ(
        workspace.desktopApplication(400),
        (DesktopApplication{"org.mozilla.firefox", "Firefox", "org.mozilla.firefox", true, 400}));
    EXPECT_EQ(
        workspace.desktopApplication(401),
        (DesktopApplication{"com.example.NoEntry", "NoEntry", "com.example.NoEntry", false, 401}));
}

TEST_F(LinuxWorkspaceTest, ResponsibleProcessIsTheNearestRegularApplication) {
    addEntry("usr", "firefox.desktop", "Name=Firefox\nExec=/usr/lib/firefox/firefox\n");
    addEntry("usr", "org.gnome.Terminal.desktop",
             "Name=Terminal\nExec=gnome-terminal\nTryExec=gnome-terminal-server\n");
    addEntry("usr", "org.gnome.Shell.desktop",
             "Name=GNOME Shell\nExec=gnome-shell\nNoDisplay=true\n");
    addProcess(10, 1, "gnome-shell", "/usr/bin/gnome-shell");
    addProcess(500, 10, "firefox", "/usr/lib/firefox/firefox");
    addProcess(501, 500, "Web Content", "/usr/lib/firefox/plugin-container");
    addProcess(502, 501, "Socket Process", "/usr/lib/firefox/plugin-container");
    addProcess(600, 10, "gnome-terminal-", "/usr/libexec/gnome-terminal-server");
    addProcess(601, 600, "bash", "/usr/bin/bash");
    addProcess(602, 601, "sox", "/usr/bin/sox");
    addProcess(603, 601, "firefox", "/usr/lib/firefox/firefox");
    addProcess(800, 801, "loop-a", "/usr/bin/a");
    addProcess(801, 800, "loop-b", "/usr/bin/b");
    const auto workspace = this->workspace();
    EXPECT_EQ(workspace.responsibleProcess(502), 500);
    EXPECT_EQ(workspace.responsibleProcess(602), 600); // a player started in the terminal
    EXPECT_EQ(workspace.responsibleProcess(603), 603); // an application started from it
    EXPECT_EQ(workspace.responsibleProcess(800), 800); // a looping chain ends
    EXPECT_EQ(workspace.responsibleProcess(999), 999); // gone
}

TEST_F(LinuxWorkspaceTest, IndexIsRebuiltWhenADirectoryChanges) {
    addProcess(900, 1, "newapp", "/usr/bin/newapp");
    const auto workspace = this->workspace();
    EXPECT_FALSE(workspace.desktopApplication(900));
    const auto usr = dir / "usr/applications";
    const auto before = fs::last_write_time(usr);
    addEntry("usr", "newapp.desktop", "Name=New App\nExec=newapp\n");
    fs::last_write_time(usr, before);
    EXPECT_FALSE(workspace.desktopApplication(900));
    fs::last_write_time(usr, before + std::chrono::seconds(5));
    EXPECT_EQ(workspace.desktopApplication(900)->name, "New App");
}

TEST_F(LinuxWorkspaceTest, SeesThisProcessInTheRealProc) {
    const LinuxWorkspace workspace;
    const auto pid = ::getpid();
    EXPECT_EQ(workspace.processPath(pid), fs::read_symlink("/proc/self/exe").string());
    EXPECT_EQ(workspace.processName(pid), "voxlane_tests");
    EXPECT_EQ(workspace.parentProcess(pid), ::getppid());
    EXPECT_GT(workspace.responsibleProcess(pid), 0);
}

using Arguments = std::vector<std::string>;

DesktopEntry withExec(std::string exec) {
    DesktopEntry entry;
    entry.exec = std::move(exec);
    return entry;
}

TEST(DesktopEntryTest, ReadsTheDesktopEntryGroupOnly) {
    const auto entry = DesktopEntry::parse(R"(# comment
[Desktop Entry]
Type=Application
Name=Firefox
Name[de]=Feuerfuchs
Name=Second Name
Icon = firefox
Exec=firefox %u
StartupWMClass=firefox
[Desktop Action new-window]
Exec=firefox --new-window %u
NoDisplay=true
)");
    ASSERT_TRUE(entry);
    EXPECT_EQ(std::tuple(entry->type, entry->name, entry->icon, entry->exec, entry->startupWMClass),
              std::tuple("Application", "Firefox", "firefox", "firefox %u", "firefox"));
    EXPECT_TRUE(!entry->noDisplay && entry->isVisible() && entry->isApplication());
    EXPECT_FALSE(DesktopEntry::parse("[Other]\nName=x\n"));
    const auto link = DesktopEntry::parse("[Desktop Entry]\nType=Link\nHidden=true\n");
    ASSERT_TRUE(link);
    EXPECT_FALSE(link->isApplication() || link->isVisible());
}

TEST(DesktopEntryTest, SplitsExecByItsQuotingAndDropsFieldCodes) {
    EXPECT_EQ(withExec("firefox %u").execArguments(), (Arguments{"firefox"}));
    EXPECT_EQ(withExec(R"("/opt/My App/run" --name "a \"b\" \\c" 100%% %F)").execArguments(),
              (Arguments{"/opt/My App/run", "--name", R"(a "b" \c)", "100%"}));
    EXPECT_EQ(withExec(R"(  app   "")").execArguments(), (Arguments{"app", ""}));
    EXPECT_TRUE(withExec("").execArguments().empty());
}

TEST(DesktopEntryTest, ProgramLooksThroughEnvInterpretersAndShells) {
    EXPECT_EQ(withExec("env BAMF_DESKTOP_FILE_HINT=/x.desktop /snap/bin/firefox %u").program(),
              "/snap/bin/firefox");
    EXPECT_EQ(withExec(R"(sh -c "LANG=C exec spotify --uri=%u")").program(), "spotify");
    EXPECT_EQ(withExec("python3").program(), "python3"); // an interpreter on its own
}

} // namespace
} // namespace voxlane
