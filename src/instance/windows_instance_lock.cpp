// The single-copy lock on Windows: a mutex owned by the window's thread.
// "Local\" keeps it within the user's log-on session; the user's SID in the
// name keeps another account in the same session (runas) apart.

#include <windows.h>
// After windows.h.
#include <sddl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "instance/instance_lock.h"

namespace trivexa::instance {
namespace {

// A probe owns the mutex for a moment; a copy that starts just then must not
// take that for a running copy.
constexpr int kTakeAttempts = 5;
constexpr std::uint32_t kTakeRetryPauseMs = 10;

std::string UserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  std::string text;
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    char* sid = nullptr;
    if (::ConvertSidToStringSidA(user->User.Sid, &sid)) {
      text = sid;
      ::LocalFree(sid);
    }
  }
  ::CloseHandle(token);
  return text;
}

std::string ErrorText(DWORD error) { return "Windows error " + std::to_string(error); }

}  // namespace

LockPlace DefaultLockPlace() {
  const std::string sid = UserSid();
  return {sid.empty() ? std::string("Local\\Trivexa") : "Local\\Trivexa-" + sid, false};
}

InstanceLock::~InstanceLock() {
  if (mutex_ != nullptr) {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
  }
}

bool InstanceLock::Held() const { return mutex_ != nullptr; }

JoystickLock::JoystickLock(LockPlace place) : place_(std::move(place)) {}

JoystickLock::~JoystickLock() {
  if (holderText_ != nullptr) ::CloseHandle(holderText_);
  if (mutex_ != nullptr) {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
  }
}

LockAttempt JoystickLock::TryTake(const std::string& holder) {
  constexpr DWORD kMaxHolderText = 200;
  if (mutex_ != nullptr) return {LockOutcome::kTaken, {}};
  const std::string name = place_.name + "-trivexactl";
  const std::string textName = name + "-holder";
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
  if (mutex == nullptr)
    return {LockOutcome::kUnavailable, name + ": " + ErrorText(::GetLastError())};
  const DWORD result = ::WaitForSingleObject(mutex, 0);
  if (result == WAIT_TIMEOUT) {
    ::CloseHandle(mutex);
    // The holder's own words, left in a named piece of shared memory.
    std::string text;
    if (HANDLE mapping = ::OpenFileMappingA(FILE_MAP_READ, FALSE, textName.c_str())) {
      if (const void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kMaxHolderText)) {
        const char* chars = static_cast<const char*>(view);
        text.assign(chars, ::strnlen(chars, kMaxHolderText));
        ::UnmapViewOfFile(view);
      }
      ::CloseHandle(mapping);
    }
    return {LockOutcome::kHeldByAnother, text};
  }
  // An abandoned mutex is the lock of a command that died: it is ours now.
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(mutex);
    return {LockOutcome::kUnavailable, name + ": " + ErrorText(error)};
  }
  mutex_ = mutex;
  holderText_ = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     kMaxHolderText, textName.c_str());
  if (holderText_ != nullptr) {
    if (void* view = ::MapViewOfFile(holderText_, FILE_MAP_WRITE, 0, 0, kMaxHolderText)) {
      char* chars = static_cast<char*>(view);
      const std::size_t length = std::min<std::size_t>(holder.size(), kMaxHolderText - 1);
      std::memcpy(chars, holder.data(), length);
      chars[length] = '\0';
      ::UnmapViewOfFile(view);
    }
  }
  return {LockOutcome::kTaken, {}};
}

LockAttempt InstanceLock::Take() {
  if (mutex_ != nullptr) return {LockOutcome::kTaken, {}};
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, place_.name.c_str());
  if (mutex == nullptr) {
    return {LockOutcome::kUnavailable, place_.name + ": " + ErrorText(::GetLastError())};
  }
  for (int attempt = 1;; ++attempt) {
    const DWORD result = ::WaitForSingleObject(mutex, 0);
    // An abandoned mutex is the lock of a copy that died: it is ours now.
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
      mutex_ = mutex;
      return {LockOutcome::kTaken, {}};
    }
    if (result != WAIT_TIMEOUT || attempt == kTakeAttempts) {
      const DWORD error = ::GetLastError();
      ::CloseHandle(mutex);
      if (result == WAIT_TIMEOUT) return {LockOutcome::kHeldByAnother, {}};
      return {LockOutcome::kUnavailable, place_.name + ": " + ErrorText(error)};
    }
    clock_.Sleep(kTakeRetryPauseMs);
  }
}

InstanceState ProbeInstance(const LockPlace& place) {
  HANDLE mutex = ::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, place.name.c_str());
  if (mutex == nullptr) {
    return ::GetLastError() == ERROR_FILE_NOT_FOUND ? InstanceState::kNotRunning
                                                    : InstanceState::kUnknown;
  }
  InstanceState state = InstanceState::kUnknown;
  const DWORD result = ::WaitForSingleObject(mutex, 0);
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
    ::ReleaseMutex(mutex);
    state = InstanceState::kNotRunning;
  } else if (result == WAIT_TIMEOUT) {
    state = InstanceState::kRunning;
  }
  ::CloseHandle(mutex);
  return state;
}

}  // namespace trivexa::instance
