#pragma once

// Numbers in text, read the same in every locale (a Qt program takes the user's locale into
// the C library, whose strtod would then want a decimal comma).

#include <optional>
#include <string_view>

// The text without the blanks (space, tab, CR, LF) around it.
std::string_view trimmedBlanks(std::string_view text);

// A decimal number filling the whole text (blanks around it allowed); "+1.5", ".0001" and
// "1e-5" included. Empty for anything else ("+-1", "1,5", "0x1"), non-finite values too.
std::optional<double> readDecimal(std::string_view text);

// An integer filling the whole text (blanks around it allowed, one '+' before it too); empty
// for anything else.
std::optional<long long> readInteger(std::string_view text);

// The same into `value`, which a text that is not one leaves alone; true when read.
bool readNumber(std::string_view text, double& value);
bool readNumber(std::string_view text, long long& value);

// An ASCII control character: below space, or DEL. Bytes from 0x80 on (UTF-8) are not, whether
// char is signed (x86-64) or unsigned (ARM).
inline bool isControlCharacter(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}
