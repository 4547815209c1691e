// The wording rule of the messages shown to the user.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrelis {

// What is shown for an error that carries no message of its own (UTF-8).
inline constexpr const char* kUnexpectedError = "Erreur inattendue";

// `message` as a message box or the command's error output shows it: a "."
// is appended when the message is not empty and its last character's code
// is above 46 (the code of "."). Works on UTF-8 and on Windows-1252 text:
// in both, every byte of a character above 127 is above 46 too.
std::string WithFinalPeriod(std::string_view message);

// "1 contact", "3 contacts": `count`, then `one` or, above 1, `many`.
std::string Counted(int64_t count, std::string_view one, std::string_view many);

}  // namespace vantrelis
