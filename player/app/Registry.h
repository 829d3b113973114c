// The player's registry access on HKEY_CURRENT_USER. Each call opens the key, does its work and
// closes it again. Key paths, value names and strings are UTF-8 and go through the W API, so any
// path a user has survives; the stored REG_SZ data is UTF-16 with its terminating zero, exactly
// what the A API stores for a string the system code page holds, so values written by older
// copies read unchanged and theirs read ours. Failures are silent, as the settings fall back to
// their defaults: a missing key or value reads as empty or 0.
#pragma once

#include <cstdint>
#include <string>

namespace qvr::app {

// The string value (REG_SZ or REG_EXPAND_SZ, not expanded; up to its first zero character), or
// empty when the key or the value is missing or holds another type. True when the result is not
// empty. Never creates the key.
bool RegReadString(const std::string& key, const std::string& name, std::string& value);
// RegReadString, then deletes the value when the key exists.
bool RegTakeString(const std::string& key, const std::string& name, std::string& value);
// The REG_DWORD value, or 0 when the key or the value is missing or holds another type. Never
// creates the key.
int32_t RegReadInt(const std::string& key, const std::string& name);
// Opens the key, creating it when missing, and writes a REG_SZ (RegWriteString) or REG_DWORD
// (RegWriteInt) value. True only when the value was written.
bool RegWriteString(const std::string& key, const std::string& name, const std::string& value);
bool RegWriteInt(const std::string& key, const std::string& name, int32_t value);

}  // namespace qvr::app
