#include "hid/windows/windows_hid_platform.h"

// The mingw-w64 HID headers carry no C++ linkage guard of their own.
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "hid/system_hid_platform.h"
#include "hid/windows/cancelled_read.h"
#include "hid/windows/device_tree.h"

namespace trivexa::hid {
namespace {

// The system's message for an error code, without its line end.
std::string ErrorText(DWORD error) {
  char* message = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<LPSTR>(&message), 0, nullptr);
  std::string text = length != 0 && message != nullptr ? std::string(message, length)
                                                       : "error " + std::to_string(error);
  if (message != nullptr) LocalFree(message);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

void WindowsHidPlatform::Failed(const std::string& what) { Failed(what, GetLastError()); }

void WindowsHidPlatform::Failed(const std::string& what, DWORD error) {
  lastError_.text = what + ": " + ErrorText(error);
  lastError_.accessDenied = error == ERROR_ACCESS_DENIED;
}

WindowsHidPlatform::~WindowsHidPlatform() {
  for (auto& [id, device] : devices_) {
    EndReadsOn(id, device.file);
    CloseHandle(device.file);
  }
  for (auto& [id, event] : events_) CloseHandle(event.event);
  // A read that still has not ended may complete into its slot at any time
  // until the process ends: such a slot is left to the process's end.
  for (std::unique_ptr<ReadSlot>& slot : abandoned_) {
    if (!HasOverlappedIoCompleted(&slot->record)) static_cast<void>(slot.release());
  }
}

Handle WindowsHidPlatform::NextId() {
  do {
    lastId_ = lastId_ == std::numeric_limits<Handle>::max() ? 1 : lastId_ + 1;
  } while (devices_.contains(lastId_) || events_.contains(lastId_));
  return lastId_;
}

const WindowsHidPlatform::OpenDevice* WindowsHidPlatform::FindDevice(Handle handle) const {
  const auto it = devices_.find(handle);
  return it == devices_.end() ? nullptr : &it->second;
}

std::vector<std::string> WindowsHidPlatform::ListInterfaces() { return HidInterfacePaths(); }

std::optional<std::string> WindowsHidPlatform::UsbPort(const std::string& path) {
  return UsbLocationPath(path);
}

Handle WindowsHidPlatform::Open(const std::string& path, bool overlapped) {
  // Shared both ways so that the joystick can be opened a second time, for
  // the overlapped reads, while the write handle stays open.
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Failed("open " + path);
    return kInvalidHandle;
  }
  const Handle id = NextId();
  devices_.emplace(id, OpenDevice{file, overlapped});
  Succeeded();
  return id;
}

void WindowsHidPlatform::Close(Handle handle) {
  const auto it = devices_.find(handle);
  if (it == devices_.end()) return;
  EndReadsOn(handle, it->second.file);
  CloseHandle(it->second.file);
  devices_.erase(it);
}

void WindowsHidPlatform::EndReadsOn(Handle handle, HANDLE file) {
  for (auto& [id, event] : events_) {
    if (event.pendingOn != handle) continue;
    event.pendingOn = kNoHandle;
    if (!EndCancelledRead(file, event.slot->record, kCancelledReadLimitMs)) {
      abandoned_.push_back(std::move(event.slot));
      event.slot = std::make_unique<ReadSlot>();
    }
  }
}

std::optional<DeviceAttributes> WindowsHidPlatform::GetAttributes(Handle handle) {
  const OpenDevice* device = FindDevice(handle);
  if (device == nullptr) {
    Failed("HidD_GetAttributes", ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof(attributes);
  if (!HidD_GetAttributes(device->file, &attributes)) {
    Failed("HidD_GetAttributes");
    return std::nullopt;
  }
  Succeeded();
  return DeviceAttributes{attributes.VendorID, attributes.ProductID, attributes.VersionNumber};
}

bool WindowsHidPlatform::GetProductString(Handle handle,
                                          std::span<std::uint8_t, kProductStringBytes> buffer) {
  const OpenDevice* device = FindDevice(handle);
  if (device == nullptr) {
    Failed("HidD_GetProductString", ERROR_INVALID_HANDLE);
    return false;
  }
  if (!HidD_GetProductString(device->file, buffer.data(), static_cast<ULONG>(buffer.size()))) {
    Failed("HidD_GetProductString");
    return false;
  }
  Succeeded();
  return true;
}

std::optional<HidCaps> WindowsHidPlatform::GetCaps(Handle handle) {
  const OpenDevice* device = FindDevice(handle);
  if (device == nullptr) {
    Failed("HidD_GetPreparsedData", ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  if (!HidD_GetPreparsedData(device->file, &preparsed) || preparsed == nullptr) {
    Failed("HidD_GetPreparsedData");
    return std::nullopt;
  }
  HIDP_CAPS caps{};
  const NTSTATUS status = HidP_GetCaps(preparsed, &caps);
  HidD_FreePreparsedData(preparsed);
  if (status != HIDP_STATUS_SUCCESS) {
    lastError_ = {"HidP_GetCaps: status " + std::to_string(status), false};
    return std::nullopt;
  }
  Succeeded();
  return HidCaps{caps.InputReportByteLength, caps.OutputReportByteLength};
}

Handle WindowsHidPlatform::CreateReadEvent() {
  // Manual reset, so that a finished read stays visible to the wait;
  // signalled at first, so that a wait before any read does not block.
  HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (event == nullptr) return kNoHandle;
  const Handle id = NextId();
  events_.emplace(id, ReadEvent{event, std::make_unique<ReadSlot>(), kNoHandle});
  return id;
}

bool WindowsHidPlatform::Write(Handle handle, std::span<const std::uint8_t> report) {
  const OpenDevice* device = FindDevice(handle);
  // An overlapped handle would need a record of its own; writes go through
  // the plain handle, where WriteFile returns only when it is done.
  if (device == nullptr || device->overlapped) {
    Failed("WriteFile", ERROR_INVALID_HANDLE);
    return false;
  }
  if (report.size() > std::numeric_limits<DWORD>::max()) {
    Failed("WriteFile", ERROR_INVALID_PARAMETER);
    return false;
  }
  const auto length = static_cast<DWORD>(report.size());
  DWORD written = 0;
  if (!WriteFile(device->file, report.data(), length, &written, nullptr)) {
    Failed("WriteFile");
    return false;
  }
  if (written != length) {
    lastError_ = {"WriteFile: " + std::to_string(written) + " of " + std::to_string(length) +
                      " bytes written",
                  false};
    return false;
  }
  Succeeded();
  return true;
}

void WindowsHidPlatform::CancelIo(Handle handle) {
  if (const OpenDevice* device = FindDevice(handle)) ::CancelIo(device->file);
}

std::int32_t WindowsHidPlatform::StartRead(Handle handle, std::span<std::uint8_t> buffer,
                                           ReadOverlapped& overlapped) {
  const OpenDevice* device = FindDevice(handle);
  const auto eventIt = events_.find(overlapped.hEvent);
  // A read with a record on a plain handle would block until a report comes.
  if (device == nullptr || !device->overlapped || eventIt == events_.end()) return 0;
  ReadEvent& event = eventIt->second;
  OVERLAPPED* record = &event.slot->record;

  // The previous read on this record has not ended yet (a cancel is still
  // being processed, or a failed wait left it running): it is what the
  // caller's wait now waits for.
  if (event.pendingOn != kNoHandle && !HasOverlappedIoCompleted(record)) return 0;
  event.pendingOn = kNoHandle;

  *record = OVERLAPPED{};  // offset 0: hid reads have none
  record->hEvent = event.event;
  std::vector<std::uint8_t>& bytes = event.slot->bytes;
  bytes.assign(buffer.size(), 0);

  const auto length =
      static_cast<DWORD>(std::min<std::size_t>(bytes.size(), std::numeric_limits<DWORD>::max()));
  if (ReadFile(device->file, bytes.data(), length, nullptr, record)) {
    // Finished within the call: a report was already queued.
    DWORD count = 0;
    if (!GetOverlappedResult(device->file, record, &count, FALSE)) return 0;
    count = std::min<DWORD>(count, length);
    std::copy_n(bytes.begin(), count, buffer.begin());
    return static_cast<std::int32_t>(
        std::min<DWORD>(count, static_cast<DWORD>(std::numeric_limits<std::int32_t>::max())));
  }
  if (GetLastError() == ERROR_IO_PENDING) event.pendingOn = handle;
  return 0;
}

WaitResult WindowsHidPlatform::WaitForRead(Handle event, std::uint32_t timeoutMs) {
  const auto it = events_.find(event);
  if (it == events_.end()) return WaitResult::kFailed;
  switch (WaitForSingleObject(it->second.event, static_cast<DWORD>(timeoutMs))) {
    case WAIT_OBJECT_0:
      return WaitResult::kSignalled;
    case WAIT_TIMEOUT:
      return WaitResult::kTimedOut;
    default:
      return WaitResult::kFailed;
  }
}

std::unique_ptr<HidPlatform> MakeSystemHidPlatform() {
  return std::make_unique<WindowsHidPlatform>();
}

// Windows opens HID interfaces to every user; there is no rule to install.
AccessFix SystemAccessFix(std::filesystem::path) { return {}; }
std::string SystemAccessRule() { return {}; }
std::vector<std::string> SystemAccessFacts(const std::vector<std::string>&) { return {}; }

}  // namespace trivexa::hid
