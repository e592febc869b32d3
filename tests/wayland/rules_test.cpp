// The native shell's pure rules: which shell a session gets, where a move puts the clock, and
// the lock file's name.
#include <gtest/gtest.h>

#include "window/linux/shell_choice.h"
#include "window/wayland/wayland_rules.h"

namespace brumo::wayland {
namespace {

TEST(ShellChoice, X11WhereItsManagerKeepsAboveNativeWhereLayerShellCanDoBetter) {
  // {X reachable, keeps above, layer-shell}: an X11 session; GNOME or KDE through Xwayland;
  // sway; a Wayland session without Xwayland; X without a manager; GNOME without Xwayland.
  EXPECT_EQ(ChooseShell({true, true, false}), ShellKind::kX11);
  EXPECT_EQ(ChooseShell({true, true, true}), ShellKind::kX11);
  EXPECT_EQ(ChooseShell({true, false, true}), ShellKind::kWayland);
  EXPECT_EQ(ChooseShell({false, false, true}), ShellKind::kWayland);
  EXPECT_EQ(ChooseShell({true, false, false}), ShellKind::kX11);
  EXPECT_EQ(ChooseShell({false, false, false}), ShellKind::kNone);
}

TEST(MoveMargins, FollowThePointersTravelKeptOnTheOutput) {
  EXPECT_EQ(MoveMargins({10, 20}, {100, -5}, 330, 32, 1280, 800), (Point{110, 15}));
  EXPECT_EQ(MoveMargins({10, 20}, {-50, -50}, 330, 32, 1280, 800), (Point{0, 0}));
  EXPECT_EQ(MoveMargins({10, 20}, {5000, 5000}, 330, 32, 1280, 800), (Point{950, 768}));
  EXPECT_EQ(MoveMargins({0, 0}, {40, 40}, 330, 32, 300, 20), (Point{0, 0}));
}

TEST(LockFile, OnePerDisplayInTheRuntimeDirectory) {
  EXPECT_EQ(LockFilePath("/run/user/7/", "wayland-0"), "/run/user/7/brumo-wayland-0.lock");
  EXPECT_EQ(LockFilePath("/run/user/7", "/run/user/7/wayland-0"),
            "/run/user/7/brumo-wayland-0.lock");
  EXPECT_EQ(LockFilePath("/run/user/7", "/tmp/w 1"), "/run/user/7/brumo-_tmp_w_1.lock");
  EXPECT_EQ(LockFilePath("", "wayland-0"), "");
}

}  // namespace
}  // namespace brumo::wayland
