#pragma once
// The error report's sentence rule, kept apart from the message box so it can be checked alone.
#include <string>

// A message gets a closing "." unless it is empty or already ends in a character whose code is
// at most that of "." (a blank, "!", a quote, a closing bracket...). Codes compare as unsigned
// bytes, so every character above 0x7F counts as a letter.
inline std::string WithFullStop(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > 0x2E)
        message += '.';
    return message;
}
