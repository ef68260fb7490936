#include "platform/desktop/full_screen.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstring>
#include <string>

#include "common/message_routines.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tandrel::platform {
namespace {

// A private X server for the test; its display name is empty when Xvfb is missing.
class PrivateDisplay {
public:
    PrivateDisplay() {
        int fds[2];
        if (pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        // -noreset: a server that resets when its last client leaves drops
        // the connections of clients arriving meanwhile.
        const char* argv[] = {"Xvfb",     "-displayfd", fd.c_str(), "-nolisten",  "tcp",
                              "-noreset", "-screen",    "0",        "640x480x24", nullptr};
        if (posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
        close(fds[1]);
        // Xvfb writes its display number once it takes connections.
        char buffer[16] = {};
        const ssize_t got = pid_ > 0 ? read(fds[0], buffer, sizeof buffer - 1) : -1;
        close(fds[0]);
        if (got > 0) name_ = ":" + std::string(buffer, std::strcspn(buffer, "\n"));
    }
    ~PrivateDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// A client that puts windows on the display and sets their state, as a
// full-screen video player and its window manager would.
class FakeClient {
public:
    explicit FakeClient(const std::string& display) : connection_(xcb_connect(display.c_str(), nullptr)) {
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    }
    ~FakeClient() { xcb_disconnect(connection_); }

    xcb_window_t MappedWindow(xcb_window_t parent = XCB_WINDOW_NONE) {
        const xcb_window_t window = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, parent ? parent : screen_->root, 0, 0, 100, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, 0, nullptr);
        xcb_map_window(connection_, window);
        return window;
    }
    void SetFullScreen(xcb_window_t window, bool on) {
        const xcb_atom_t fullScreen = Atom("_NET_WM_STATE_FULLSCREEN");
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, Atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                            on ? 1 : 0, &fullScreen);
        xcb_aux_sync();
    }
    void Focus(xcb_window_t window) {
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
        xcb_aux_sync();
    }
    void SetActive(xcb_window_t window) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, screen_->root, Atom("_NET_ACTIVE_WINDOW"),
                            XCB_ATOM_WINDOW, 32, 1, &window);
        xcb_aux_sync();
    }

private:
    xcb_atom_t Atom(const char* name) {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return atom;
    }
    // Every request has reached the server before the check looks.
    void xcb_aux_sync() {
        std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    xcb_connection_t* connection_;
    xcb_screen_t* screen_;
};

TEST(FullScreen, TheFocusedOrActiveWindowInTheFullScreenStateCounts) {
    PrivateDisplay display;
    if (display.Name().empty()) GTEST_SKIP() << "Xvfb could not be started";
    const char* name = display.Name().c_str();
    FakeClient client(display.Name());
    const xcb_window_t player = client.MappedWindow();
    const xcb_window_t inner = client.MappedWindow(player);
    const xcb_window_t editor = client.MappedWindow();

    EXPECT_FALSE(IsFullScreenWindowInFront(name)) << "nothing focused";
    client.SetFullScreen(player, true);
    client.Focus(inner);
    EXPECT_TRUE(IsFullScreenWindowInFront(name)) << "the focus in a child of the full-screen window";
    client.Focus(editor);
    EXPECT_FALSE(IsFullScreenWindowInFront(name));
    // A window manager's word on the active window comes before the focus.
    client.SetActive(player);
    EXPECT_TRUE(IsFullScreenWindowInFront(name));
    client.SetFullScreen(player, false);
    EXPECT_FALSE(IsFullScreenWindowInFront(name));

    EXPECT_FALSE(IsFullScreenWindowInFront(""));
    EXPECT_FALSE(IsFullScreenWindowInFront(":987")) << "no such display";
}

// The notification of a full-screen moment waits in the log file.
class DisplayMessages : public testing::RecordingMessages {
public:
    explicit DisplayMessages(std::string display) : display_(std::move(display)) {}
    bool IsFullScreenAppInFront() override { return IsFullScreenWindowInFront(display_.c_str()); }

private:
    std::string display_;
};

TEST(FullScreen, NotifyWritesToThePendingAlertsLogWhileAFullScreenWindowIsInFront) {
    PrivateDisplay display;
    if (display.Name().empty()) GTEST_SKIP() << "Xvfb could not be started";
    FakeClient client(display.Name());
    const xcb_window_t player = client.MappedWindow();
    client.Focus(player);
    DisplayMessages messages(display.Name());
    std::remove(PendingAlertsFile().c_str());

    Notify("shown at once");
    client.SetFullScreen(player, true);
    Notify("kept for later");
    EXPECT_EQ(messages.notifications, std::vector<std::string>{"shown at once"});
    const std::string log = testing::ReadBytes(PendingAlertsFile());
    EXPECT_NE(log.find(": kept for later"), std::string::npos) << log;
    EXPECT_EQ(log.find("shown at once"), std::string::npos);
}

}  // namespace
}  // namespace tandrel::platform
