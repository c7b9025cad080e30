#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "host/text.h"
#include "settings/file_io.h"
#include "settings/save_temp_name.h"

namespace trivexa::settings {
namespace {

namespace fs = std::filesystem;

// Beside the file it replaces.
std::wstring TempPrefix(const fs::path& path) {
  return path.filename().native() + Widen(kTempMark);
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
    const std::optional<std::uint32_t> writer = TempFileWriter<wchar_t>(found.cFileName, prefix);
    if (!writer || *writer == GetCurrentProcessId() || !ProcessIsGone(*writer)) continue;
    DeleteFileW((folder / found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

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
  return Narrow(wide);
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
    // A missing folder on the way: the file is missing too, as on POSIX.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FileRead::kMissing;
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
  fs::path folder = base;
  for (const fs::path& name : below) {
    folder /= name;
    std::error_code error;
    fs::create_directory(folder, error);
    if (error)
      return WriteOutcome::Failed("CreateDirectory", PathText(folder) + ": " + error.message());
  }
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
    tempPath = folder / (prefix + Widen(TempNameTail(GetCurrentProcessId())));
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
