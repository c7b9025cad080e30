#pragma once

#include <QByteArray>
#include <optional>

namespace trivexa::app {

// What a second launch hands the running window: the tokens its launcher
// gave it, each empty when it had none. The running window raises itself
// with them, so the desktop sees the launch the user made.
struct LaunchTokens {
  // Wayland's XDG_ACTIVATION_TOKEN: lets the compositor give the focus.
  QByteArray activationToken;
  // X11's DESKTOP_STARTUP_ID: names the launcher's busy cursor, which the
  // window ends, and carries the time of the user's click.
  QByteArray startupId;

  bool operator==(const LaunchTokens&) const = default;
};

// The launcher's tokens from the environment, those that are well formed.
// Read before the window system is set up: Qt's X11 back-end takes
// DESKTOP_STARTUP_ID out of the environment.
LaunchTokens LaunchTokensFromEnvironment();

// A token fit to be handed over: 1 to 255 printable ASCII characters, none
// of them a space, a quote or a backslash. Anything else is no token of a
// launcher's and is never kept.
bool WellFormedToken(const QByteArray& token);

inline constexpr qsizetype kMaxTokenSize = 255;
// The longest request, with its newline: both tokens at their longest.
inline constexpr qsizetype kMaxRequestSize =
    sizeof "show activation-token= startup-id=\n" - 1 + 2 * kMaxTokenSize;

// One request is one line: "show", then "activation-token=..." and
// "startup-id=..." for the tokens there are, separated by single spaces.
QByteArray RequestLine(const LaunchTokens& tokens);
// The tokens of a request line (without its newline), or nothing when the
// line is not a well-formed request.
std::optional<LaunchTokens> ParseRequestLine(const QByteArray& line);

}  // namespace trivexa::app
