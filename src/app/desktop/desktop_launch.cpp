#include "app/desktop/desktop_launch.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

#include "host/text.h"

namespace trivexa::app {
namespace {

constexpr char kTimeMark[] = "_TIME";
// Source indication of an activation request: an application, on behalf of
// the user.
constexpr std::uint32_t kFromApplication = 1;
// A startup message travels in pieces of this many bytes.
constexpr qsizetype kMessagePiece = 20;

xcb_connection_t* X11() {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t FirstRoot(xcb_connection_t* connection) {
  const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  return screens.rem > 0 ? screens.data->root : xcb_window_t{XCB_WINDOW_NONE};
}

// The root window of the screen `window` is on.
xcb_window_t RootOf(xcb_connection_t* connection, xcb_window_t window) {
  const std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> reply(
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr),
      &std::free);
  return reply ? reply->root : FirstRoot(connection);
}

}  // namespace

void UseActivationToken(const QByteArray& token) {
  static char entry[sizeof "XDG_ACTIVATION_TOKEN=" + kMaxTokenSize] = {};
  if (!WellFormedToken(token)) return;
  std::snprintf(entry, sizeof entry, "XDG_ACTIVATION_TOKEN=%s", token.constData());
  ::putenv(entry);
}

std::optional<std::uint32_t> LaunchTime(const QByteArray& startupId) {
  const qsizetype mark = startupId.lastIndexOf(kTimeMark);
  if (mark < 0) return std::nullopt;
  const QByteArray digits = startupId.mid(mark + qsizetype{sizeof kTimeMark} - 1);
  bool number = false;
  const qulonglong time = digits.toULongLong(&number);
  if (!number || !AllDecimalDigits(std::string_view(digits.constData(), digits.size())) ||
      time > std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(time);
}

void ActivateAtLaunchTime(WId window, const QByteArray& startupId) {
  xcb_connection_t* connection = X11();
  const std::optional<std::uint32_t> time = LaunchTime(startupId);
  if (connection == nullptr || !time) return;
  const auto id = static_cast<xcb_window_t>(window);
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = id;
  event.type = Atom(connection, "_NET_ACTIVE_WINDOW");
  event.data.data32[0] = kFromApplication;
  event.data.data32[1] = *time;
  xcb_send_event(connection, 0, RootOf(connection, id),
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(connection);
}

void EndStartupNotice(const QByteArray& startupId) {
  xcb_connection_t* connection = X11();
  if (connection == nullptr || !WellFormedToken(startupId)) return;
  // The message with its closing NUL, to every client that watches the
  // root window's properties.
  const QByteArray message = "remove: ID=" + startupId + '\0';
  const xcb_window_t root = FirstRoot(connection);
  // The messages name a window of the sender's own, as the convention asks:
  // one that is never shown, made for them alone.
  const xcb_window_t sender = xcb_generate_id(connection);
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, sender, root, -100, -100, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
  const xcb_atom_t first = Atom(connection, "_NET_STARTUP_INFO_BEGIN");
  const xcb_atom_t more = Atom(connection, "_NET_STARTUP_INFO");
  for (qsizetype at = 0; at < message.size(); at += kMessagePiece) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 8;
    event.window = sender;
    event.type = at == 0 ? first : more;
    std::memcpy(event.data.data8, message.constData() + at,
                static_cast<std::size_t>(std::min(kMessagePiece, message.size() - at)));
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                   reinterpret_cast<const char*>(&event));
  }
  xcb_destroy_window(connection, sender);
  xcb_flush(connection);
}

}  // namespace trivexa::app
