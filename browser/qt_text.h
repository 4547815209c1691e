// The bridge between Qt's strings and the program's own texts: Windows-1252
// bytes (the table, the harvest) and UTF-16 code units (the browser's).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace vantrelis {

// Windows-1252 bytes as a QString; every byte, NUL included, is a character.
QString Windows1252ToQString(std::string_view bytes);
// A QString as Windows-1252 bytes, with the best fit of Utf16ToWindows1252.
std::string QStringToWindows1252(const QString& text);
// UTF-16 code units as a QString, unpaired surrogates kept as they are.
QString Utf16ToQString(std::u16string_view text);
// A QString's UTF-16 code units, unchanged.
std::u16string QStringToUtf16(const QString& text);

}  // namespace vantrelis
