#include "platform/FileSystem.h"

#include <algorithm>

// FAT keeps a name that is a plain 8.3 name in the one entry that holds the file; any other
// takes long-name entries before it, one per 13 UTF-16 units. Windows' FAT driver decides so:
// a name needs long-name entries when it has more than one dot, a part too long or an empty
// base, a character outside the short-name set (a blank, "+,;=[]", anything outside ASCII),
// or both cases of letters within its base or within its extension (a part in one case is
// kept with a flag of the short entry).

namespace {

constexpr std::u16string_view kShortNameMarks = u"!#$%&'()-@^_`{}~";
// Valid in a long name, never in an 8.3 one.
constexpr char kLongOnly[] = {'+', ',', ';', '=', '[', ']'};

bool IsUpper(char16_t c) {
    return c >= u'A' && c <= u'Z';
}
bool IsLower(char16_t c) {
    return c >= u'a' && c <= u'z';
}

bool InShortNameSet(char16_t c) {
    return IsUpper(c) || IsLower(c) || (c >= u'0' && c <= u'9') ||
           kShortNameMarks.find(c) != std::u16string_view::npos;
}

template <typename Char> bool Has(std::basic_string_view<Char> part, bool (*test)(char16_t)) {
    return std::any_of(part.begin(), part.end(),
                       [test](Char c) { return test(static_cast<char16_t>(c)); });
}

template <typename Char> bool MixedCase(std::basic_string_view<Char> part) {
    return Has(part, IsUpper) && Has(part, IsLower);
}

// The base and the extension; an extension only after the one dot.
template <typename Char> struct Parts {
    std::basic_string_view<Char> base, extension;
    bool moreDots;
};

template <typename Char> Parts<Char> Split(std::basic_string_view<Char> name) {
    const std::size_t dot = name.find(Char('.'));
    if (dot == name.npos)
        return {name, {}, false};
    return {name.substr(0, dot), name.substr(dot + 1), name.find(Char('.'), dot + 1) != name.npos};
}

template <typename Char> bool NeedsLongName(std::basic_string_view<Char> name) {
    const Parts<Char> parts = Split(name);
    if (parts.moreDots || parts.base.empty() || parts.base.size() > 8 || parts.extension.size() > 3)
        return true;
    const bool outside = std::any_of(name.begin(), name.end(), [](Char c) {
        return c != Char('.') && !InShortNameSet(static_cast<char16_t>(c));
    });
    return outside || MixedCase(parts.base) || MixedCase(parts.extension);
}

void Lower(std::string& name, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
        if (name[i] != '.')
            name[i] = static_cast<char>(name[i] - 'A' + 'a');
}

} // namespace

std::string HidingName(std::u16string_view name, char letter) {
    const char upper =
        IsLower(static_cast<char16_t>(letter)) ? static_cast<char>(letter - 'a' + 'A') : letter;
    std::string hidden(name.size(), upper);
    for (std::size_t i = 0; i < name.size(); ++i)
        if (name[i] == u'.')
            hidden[i] = '.';
    const Parts<char16_t> parts = Split(name);
    const std::size_t base = parts.base.size();
    const std::size_t extension = base + (parts.extension.empty() ? 0 : 1);
    if (!NeedsLongName(name)) {
        // A part in lower case stays so; one in capitals, or with no letter, is capitals.
        if (Has(parts.base, IsLower))
            Lower(hidden, 0, base);
        if (Has(parts.extension, IsLower))
            Lower(hidden, extension, hidden.size());
    } else if (!NeedsLongName(std::string_view(hidden))) {
        // Its shape alone would make an 8.3 name: mixed case makes it a long name again.
        if (base >= 2) {
            Lower(hidden, 1, base);
            Lower(hidden, extension, hidden.size());
        } else if (parts.extension.size() >= 2) {
            Lower(hidden, extension + 1, hidden.size());
        } else {
            hidden[0] = kLongOnly[static_cast<std::size_t>(upper - 'A') % sizeof kLongOnly];
        }
    }
    return hidden;
}

std::string HidingNameOfUtf8(std::string_view name, char letter) {
    // Each code point as the UTF-16 units it takes: two above the first 65536. A byte that
    // starts no sequence stands for a character of its own, outside ASCII.
    std::u16string units;
    for (std::size_t i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (lead >= 0x80 && lead < 0xC0)
            length = 1;
        if (i + length > name.size())
            length = 1;
        if (length == 1)
            units.push_back(lead < 0x80 ? static_cast<char16_t>(lead) : u'\u00FF');
        else
            units.append(length == 4 ? 2 : 1, u'\u00FF');
        i += length;
    }
    return HidingName(units, letter);
}
