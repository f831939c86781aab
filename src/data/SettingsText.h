// The sections of the settings file that users edit by hand ([Hours],
// [Presence], [Machines]), read as an editor saves them: the file's bytes as
// UTF-8 text, its lines as sections of keys and values.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace horalog {

// The system's 8-bit code page to UTF-8 (the Windows shell's, or a test's).
using TAnsiToUtf8 = std::function<std::string(std::string_view)>;

// The file's bytes as UTF-8: UTF-16 (little or big endian) after its
// byte-order mark, UTF-8 with or without its mark, and anything else (bytes
// that are no UTF-8) through ansiToUtf8. A code unit that cannot be read (a
// lone surrogate, a cut last unit) becomes U+FFFD.
std::string SettingsTextUtf8(std::string_view bytes, const TAnsiToUtf8& ansiToUtf8);

// Whether the bytes are UTF-8 throughout (no overlong forms, no surrogates).
bool IsUtf8(std::string_view bytes);

// The keys of one section, in the order the file writes them, as the profile
// functions read them: the section's name in brackets and the keys' names
// match regardless of ASCII case, names and values lose the spaces and tabs
// around them, and a value in a pair of quotes loses the quotes. A line
// beginning with ";" is a comment. The first line of a key counts; a section
// written twice is one.
using TSettingsEntries = std::vector<std::pair<std::string, std::string>>;
TSettingsEntries SettingsSection(std::string_view utf8Text, std::string_view section);

// The value of the first entry of key (regardless of ASCII case); empty when missing.
std::string SettingsValue(const TSettingsEntries& entries, std::string_view key);
// The names of the entries, as written.
std::vector<std::string> SettingsKeyNames(const TSettingsEntries& entries);

// The first %NAME% of text that the environment cannot expand, as written
// with its percent signs; empty when every name expands. Names are read as
// the system expands them: from a percent sign to the next; a name that is
// not defined leaves its closing sign to begin the next one.
std::string UnexpandedVariable(std::string_view text,
                               const std::function<bool(std::string_view name)>& defined);

}  // namespace horalog
