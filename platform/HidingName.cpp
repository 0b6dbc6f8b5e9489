#include "platform/FileSystem.h"

std::string HidingName(const std::string& name, char letter) {
    std::string hidden = name;
    for (char& c : hidden)
        if (c != '.')
            c = letter;
    return hidden;
}
