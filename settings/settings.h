// The settings store: the per-user profile calls, the string lists, and the six settings of a job.
#pragma once

#include <string>
#include <vector>

#include "engine/job.h"

namespace kelvane {

// The section that holds the six settings.
inline constexpr char kSettingsSection[] = "Settings";

// The string entry of a section, read up to its first NUL whatever its type; defaultValue when absent.
std::string GetProfileString(const std::string& section, const std::string& entry,
                             const std::string& defaultValue = std::string());

// The integer entry of a section, from exactly four bytes of non-string data; defaultValue otherwise.
int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue);

// Stores value (up to its first NUL) as REG_SZ; true when written.
bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value);

// Stores value as REG_DWORD; true when written.
bool WriteProfileInt(const std::string& section, const std::string& entry, int value);

// Stores list as REG_MULTI_SZ in an existing section; true when written.
bool SaveStringList(const std::string& section, const std::string& valueName, const std::vector<std::string>& list);

// Empties list, then fills it from a REG_MULTI_SZ value; true when one was read.
bool LoadStringList(const std::string& section, const std::string& valueName, std::vector<std::string>& list);

// The window's own setting beside the job: its size in pixels; 0 by 0 when none is stored, as in
// files written before it existed.
struct WindowSize {
  int width = 0;
  int height = 0;
  bool operator==(const WindowSize&) const = default;
};

// Loads the six settings over job, whose fields are the defaults; the values then match the tags in number.
void LoadSettings(Job& job);
// The same, in the same single read of the key, with the window's size as a seventh setting.
void LoadSettings(Job& job, WindowSize& window);

// Whether any of the six settings is stored; looking creates nothing.
bool HasSavedSettings();

// Saves the six settings of job; true when all six were written. A stored window size stays.
bool SaveSettings(const Job& job);
// Saves the six settings and the window's size, in the same write.
bool SaveSettings(const Job& job, const WindowSize& window);

}  // namespace kelvane
