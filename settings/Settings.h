#pragma once
// Named string settings of the current user, kept between runs. Every call opens the
// program's key, does its one read or write and closes it again: nothing is cached.
#include <string>

// The stored text of `name` up to its first zero character, or `defaultValue` when the
// key cannot be opened, the value is missing, holds no data or holds an empty string.
// Raises Exception("Invalid data type for '<name>'") for a value of a non-string type,
// Exception("Failed to get data for '<name>'") when the value cannot be fetched.
std::string ReadSetting(const std::string& name, const std::string& defaultValue);

// Stores `value` under `name` as a plain string. Does nothing when the key cannot be opened;
// raises Exception("Failed to set data for '<name>'") when the registry refuses the value.
void WriteSetting(const std::string& name, const std::string& value);
