// The registry file on disk: where it lives, and reading or changing it as one transaction each.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "platform/reg_format.h"

namespace kelvane {

// What a registry call returns.
enum class RegResult {
  Success,
  NotFound,          // the key or value does not exist
  AccessDenied,      // the key was not opened for this, or the file cannot be replaced
  InvalidHandle,     // the key is not open
  InvalidParameter,  // a name the file cannot hold
  IoError,           // the file could not be read, locked or written
};

// How long a load waits for another copy of the program that holds the store before it reads anyway.
inline constexpr std::chrono::milliseconds kLoadLockWait{2000};
// How long a save or another change waits for it before it fails.
inline constexpr std::chrono::milliseconds kChangeLockWait{5000};

// "$XDG_CONFIG_HOME/Orvalle Software Inc./Kelvane.reg" ($HOME/.config unless absolute); empty without a home.
std::string RegistryFilePath();

// Reads and parses the file once, without its lock: it is only ever replaced whole. A missing file is
// an empty document.
RegResult ReadRegistryStore(const std::string& file, RegDocument& document);

// Gets a document that work may change (mayChange true) or may only read (false); returns whether it
// changed it.
using RegStoreWork = std::function<bool(RegDocument& document, bool mayChange)>;

// What a change does when it cannot lock the file in time.
enum class RegLockMissed {
  ReadOnly,  // work reads the file as it stands, with mayChange false
  Fail,      // nothing is read or written; the change fails with IoError
};

// One transaction: under the file's lock, taken within lockWait, the file is read and parsed once and
// handed to work; if work changed it, the file is replaced once, atomically, after keeping a damaged
// file beside it and removing what killed changes left.
RegResult ChangeRegistryStore(const std::string& file, std::chrono::milliseconds lockWait, RegLockMissed missed,
                              const RegStoreWork& work);

}  // namespace kelvane
