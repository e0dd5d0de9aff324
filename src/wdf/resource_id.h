// Resource ids as scripts and people write them, and as Velmora prints them.
//
// One rule for every reader: an id is one or more hexadecimal digits in either letter case with
// a value of at most FFFFFFFF (so any number of leading zeros, at most eight digits after them).
// Script rule keys and references use that form alone ("@" belongs to the rule's syntax); the
// terminal tool's arguments may also carry a leading "@" or "0x" (A1B3, @0000A1B3, 0xA1B3).
// Printed, an id is always eight upper-case hexadecimal digits.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// The value of a hexadecimal digit, or -1 for any other character.
int HexDigitValue(char c);

// The bare form of rule keys and references. No sign, blank or prefix.
bool ParseHexId(const std::string& text, uint32_t* id);

// An id given on the command line: the bare form, optionally after "@", "0x" or "0X".
bool ParseIdArgument(const std::string& text, uint32_t* id);

// Eight upper-case hexadecimal digits.
std::string FormatId(uint32_t id);

}  // namespace velmora
