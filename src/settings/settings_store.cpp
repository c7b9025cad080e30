#include "settings/settings_store.h"

#include <array>
#include <string>
#include <utility>

#include "settings/file_io.h"
#include "settings/folder_owner_rights.h"
#include "settings/ini_file.h"
#include "settings/number_reader.h"
#include "settings/number_text.h"

namespace trivexa::settings {
namespace {

// A stored number that is no entry of its table cannot be selected: the
// key's default takes its place.
std::uint8_t IndexFromStored(std::string_view stored, const SettingField& field) {
  const std::int64_t number = ReadLeadingNumber(stored);
  if (number < 0 || number >= static_cast<std::int64_t>(field.choices.size())) {
    return field.defaultIndex;
  }
  return static_cast<std::uint8_t>(number);
}

// JOYSTICK.INI in the place's folder; empty when the place is.
std::filesystem::path FileIn(const SettingsPlace& place) {
  const std::filesystem::path folder = place.Folder();
  // Without this, an unknown folder would put the file in the root folder.
  if (folder.empty()) return {};
  return folder / kSettingsFileName;
}

}  // namespace

std::filesystem::path SettingsFilePath(const ProgramFolder& programFolder) {
  return FileIn(programFolder());
}

void LoadSettings(JoystickSettings& settings, const ProgramFolder& programFolder) {
  // One path and one read for all four keys: a save running at the same
  // moment cannot mix two records.
  const SettingsPlace place = programFolder();
  const std::filesystem::path path = FileIn(place);
  const FolderOwnerRights rights(place.Folder());
  // Without the owner's rights nothing is read, and nothing is written.
  const IniFileText file = rights.outcome().ok() ? ReadIniFile(path) : IniFileText{};
  if (!file.missing) {
    // A file that cannot be used (a link, a FIFO, one too large) gives the
    // defaults and, being present, is not written.
    for (const SettingField& field : kSettingFields) {
      settings.*field.member =
          IndexFromStored(IniValueOr(file, kSettingsSection, field.key, field.defaultText), field);
    }
    return;
  }
  std::array<IniEntry, kSettingFields.size()> defaults;
  for (std::size_t i = 0; i < kSettingFields.size(); ++i) {
    defaults[i] = {kSettingFields[i].key, kSettingFields[i].defaultText};
    settings.*kSettingFields[i].member = kSettingFields[i].defaultIndex;
  }
  // A start-up that cannot create the file goes on with the defaults; the
  // first save says why the file cannot be written.
  if (!MakeFolders(place.base, place.below).ok()) return;
  static_cast<void>(WriteIniValues(path, kSettingsSection, defaults));
}

std::string SaveResult::FileText() const {
  if (path.empty()) return std::string(kSettingsFileName);
  return PathText(path);
}

std::string SaveResult::Describe() const {
  const std::string text = FileText();
  if (saved) return text + ": saved";
  return text + ": " + failedCall + ": " + reason;
}

SaveResult SaveSettings(const JoystickSettings& settings, const ProgramFolder& programFolder) {
  // All four keys go to disk in one replacement of the file: either the old
  // file or the new one, never a half-saved mix, and one flush, not four.
  std::array<std::string, kSettingFields.size()> texts;
  std::array<IniEntry, kSettingFields.size()> entries;
  for (std::size_t i = 0; i < kSettingFields.size(); ++i) {
    texts[i] = NumberText(settings.*kSettingFields[i].member);
    entries[i] = {kSettingFields[i].key, texts[i]};
  }
  SaveResult result;
  const SettingsPlace place = programFolder();
  result.path = FileIn(place);
  if (result.path.empty()) {
    result.failedCall = "find the settings folder";
    result.reason = "the program found no folder for it (is HOME set?)";
    return result;
  }
  const FolderOwnerRights rights(place.Folder());
  WriteOutcome outcome = rights.outcome();
  if (outcome.ok()) outcome = MakeFolders(place.base, place.below);
  if (outcome.ok()) outcome = WriteIniValues(result.path, kSettingsSection, entries);
  result.saved = outcome.ok();
  result.failedCall = std::move(outcome.failedCall);
  result.reason = std::move(outcome.reason);
  return result;
}

}  // namespace trivexa::settings
