#include "app/desktop/launch_request.h"

#include <QList>
#include <algorithm>
#include <utility>

namespace trivexa::app {
namespace {

constexpr char kActivationKey[] = "activation-token=";
constexpr char kStartupKey[] = "startup-id=";

QByteArray WellFormedOrNothing(const QByteArray& token) {
  return WellFormedToken(token) ? token : QByteArray();
}

}  // namespace

LaunchTokens LaunchTokensFromEnvironment() {
  return {WellFormedOrNothing(qgetenv("XDG_ACTIVATION_TOKEN")),
          WellFormedOrNothing(qgetenv("DESKTOP_STARTUP_ID"))};
}

bool WellFormedToken(const QByteArray& token) {
  return !token.isEmpty() && token.size() <= kMaxTokenSize &&
         std::all_of(token.begin(), token.end(),
                     [](char c) { return c > ' ' && c < 0x7f && c != '"' && c != '\\'; });
}

QByteArray RequestLine(const LaunchTokens& tokens) {
  QByteArray line = "show";
  for (const auto& [key, token] : {std::pair{kActivationKey, &tokens.activationToken},
                                   std::pair{kStartupKey, &tokens.startupId}}) {
    if (WellFormedToken(*token)) line += ' ' + QByteArray(key) + *token;
  }
  return line + '\n';
}

std::optional<LaunchTokens> ParseRequestLine(const QByteArray& line) {
  const QList<QByteArray> fields = line.split(' ');
  if (fields.front() != "show") return std::nullopt;
  LaunchTokens tokens;
  for (qsizetype i = 1; i < fields.size(); ++i) {
    const QByteArray& field = fields[i];
    QByteArray* token = field.startsWith(kActivationKey) ? &tokens.activationToken
                        : field.startsWith(kStartupKey)  ? &tokens.startupId
                                                         : nullptr;
    if (token == nullptr || !token->isEmpty()) return std::nullopt;  // unknown or twice
    *token = field.mid(field.indexOf('=') + 1);
    if (!WellFormedToken(*token)) return std::nullopt;
  }
  return tokens;
}

}  // namespace trivexa::app
