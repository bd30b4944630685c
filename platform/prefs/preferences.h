// SPDX-License-Identifier: GPL-3.0-or-later
// Integer user preferences, one property-list file per domain (a bundle identifier):
//   $HOME/Library/Preferences/<domain>.plist   a dictionary of key -> value
// $HOME falls back to the password database when unset. Domains that are empty or contain '/'
// are refused. Writers in this process are serialised; other processes are not coordinated.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Path of the domain's file, or empty for a refused domain. [any thread]
std::string preferencesPath(const std::string& domain);

// The value of key as a 32-bit signed integer: integers saturated to the int32 range, booleans
// as 0/1, reals truncated toward zero (then saturated). -1 when the file, the key or a numeric
// value is absent (strings, data, containers, NaN, unreadable or broken files). [any thread]
int32_t readIntPreference(const std::string& domain, const std::string& key);

// Stores key = value (an integer), creating the folders and the file as needed, atomically.
// False, leaving everything as it was, when the folder cannot be written or the existing file
// is not a readable dictionary (it is never overwritten then). [any thread]
bool writeIntPreference(const std::string& domain, const std::string& key, int32_t value);

// The value of key when it is a string; nullopt when the file, the key or a string value is
// absent. [any thread]
std::optional<std::string> readStringPreference(const std::string& domain, const std::string& key);

// Stores key = value (a string); same rules as writeIntPreference. [any thread]
bool writeStringPreference(const std::string& domain, const std::string& key,
                           const std::string& value);

// Removes key. True when the key is absent afterwards (including when there was no file).
// Same failure rules as writeIntPreference. [any thread]
bool removePreference(const std::string& domain, const std::string& key);
