// SPDX-License-Identifier: GPL-3.0-or-later
// Logging the user out of the desktop session.
#pragma once

namespace reset {

// Asks the desktop session to log out now, without a further question: the session manager
// over D-Bus (GNOME, KDE, Xfce, in that order), else logind (loginctl terminate-session with
// $XDG_SESSION_ID). Returns 0 when a request was accepted, otherwise the last failing request's
// exit status (-1 when nothing could be started). Waits only for the request, not the logout.
// [main thread]
int requestSessionLogout();

}  // namespace reset
