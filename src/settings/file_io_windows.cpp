#include <windows.h>

#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "settings/file_io.h"

namespace trivexa::settings {
namespace {

namespace fs = std::filesystem;

// A save's temporary file is "NAME.trivexa-save.PID.XXXXXX" beside the file
// it replaces: recognisably ours and naming the process writing it.
constexpr std::wstring_view kTempMark = L".trivexa-save.";
constexpr std::size_t kTempUniqueLength = 6;

std::wstring TempPrefix(const fs::path& path) {
  return path.filename().native() + std::wstring(kTempMark);
}

std::wstring UniqueText() {
  static constexpr std::wstring_view kLetters =
      L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::wstring text(kTempUniqueLength, L' ');
  for (wchar_t& c : text) c = kLetters[pick(random)];
  return text;
}

std::optional<DWORD> TempFileWriter(std::wstring_view name, std::wstring_view prefix) {
  if (!name.starts_with(prefix)) return std::nullopt;
  name.remove_prefix(prefix.size());
  const std::size_t dot = name.find(L'.');
  if (dot == 0 || dot == std::wstring_view::npos || dot > 9) return std::nullopt;
  if (name.size() - dot - 1 != kTempUniqueLength) return std::nullopt;
  DWORD pid = 0;
  for (const wchar_t c : name.substr(0, dot)) {
    if (c < L'0' || c > L'9') return std::nullopt;
    pid = pid * 10 + static_cast<DWORD>(c - L'0');
  }
  return pid;
}

bool ProcessIsGone(DWORD pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

// Removes the temporary files of saves that were killed: only files whose
// writing process has ended. A file still open elsewhere cannot be deleted.
void RemoveLeftovers(const fs::path& folder, const std::wstring& prefix) {
  WIN32_FIND_DATAW found{};
  const fs::path pattern = folder / (prefix + L"*");
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
      continue;
    }
    const std::optional<DWORD> writer = TempFileWriter(found.cFileName, prefix);
    if (!writer || *writer == GetCurrentProcessId() || !ProcessIsGone(*writer)) continue;
    DeleteFileW((folder / found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

constexpr const char* kTooLarge = "it is larger than a settings file can be";

// The system's own words for a GetLastError code, as UTF-8.
std::string SystemText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ' ||
                           wide.back() == L'.')) {
    wide.pop_back();
  }
  if (wide.empty()) return "system error " + std::to_string(error);
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                      nullptr, nullptr);
  return utf8;
}

// The failure of `call`, in the words of the error it left.
WriteOutcome Failure(const char* call) {
  return WriteOutcome::Failed(call, SystemText(GetLastError()));
}

bool WriteAll(HANDLE file, std::string_view content) {
  while (!content.empty()) {
    const DWORD chunk =
        content.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(content.size());
    DWORD written = 0;
    if (!WriteFile(file, content.data(), chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    content.remove_prefix(written);
  }
  return true;
}

}  // namespace

FileRead ReadRegularFile(const fs::path& path, std::string& content, std::string* why) {
  content.clear();
  std::string reason;
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which is then refused.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return FileRead::kMissing;
    if (why != nullptr) *why = SystemText(error);
    return FileRead::kUnusable;
  }
  FileRead result = FileRead::kRead;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    reason = "it is a link, a folder or a device, not a regular file";
  } else if (((std::uintmax_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow) >
             kMaxSettingsFileBytes) {
    reason = kTooLarge;
  }
  if (!reason.empty()) result = FileRead::kUnusable;
  char chunk[65536];
  while (result == FileRead::kRead) {
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
      reason = SystemText(GetLastError());
      result = FileRead::kUnusable;
    }
    if (got == 0) break;
    content.append(chunk, got);
    if (content.size() > kMaxSettingsFileBytes) {
      reason = kTooLarge;
      result = FileRead::kUnusable;
    }
  }
  CloseHandle(file);
  if (result != FileRead::kRead) content.clear();
  if (why != nullptr) *why = reason;
  return result;
}

WriteOutcome MakeFolders(const fs::path& base, const fs::path& below) {
  std::error_code error;
  fs::create_directories(base / below, error);
  if (error) return WriteOutcome::Failed("CreateDirectory", error.message());
  return {};
}

WriteOutcome ReplaceFileAtomically(const fs::path& path, std::string_view content) {
  if (path.empty()) return WriteOutcome::Failed("save", "the file has no name");
  if (content.size() > kMaxSettingsFileBytes) return WriteOutcome::Failed("save", kTooLarge);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return Failure("GetFileAttributes");
  } else if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    // A read-only file is refused, as the profile writer refuses it.
    return WriteOutcome::Failed("GetFileAttributes", "the file is read-only");
  } else if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    // A link or a folder is left alone.
    return WriteOutcome::Failed("GetFileAttributes", "it is a link or a folder, not a file");
  }

  const fs::path folder = FolderOf(path);
  const std::wstring prefix = TempPrefix(path);
  RemoveLeftovers(folder, prefix);

  fs::path tempPath;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    tempPath = folder / (prefix + std::to_wstring(GetCurrentProcessId()) + L"." + UniqueText());
    // No sharing: a leftover sweep of another process cannot delete it.
    file = CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      return Failure("CreateFile");
    }
  }
  if (file == INVALID_HANDLE_VALUE) return Failure("CreateFile");
  WriteOutcome outcome;
  if (!WriteAll(file, content)) outcome = Failure("WriteFile");
  if (outcome.ok() && FlushFileBuffers(file) == 0) outcome = Failure("FlushFileBuffers");
  if (!CloseHandle(file) && outcome.ok()) outcome = Failure("CloseHandle");
  if (outcome.ok() && MoveFileExW(tempPath.c_str(), path.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    outcome = Failure("MoveFileEx");
  }
  if (!outcome.ok()) DeleteFileW(tempPath.c_str());
  return outcome;
}

}  // namespace trivexa::settings
