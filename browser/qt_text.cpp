#include "browser/qt_text.h"

#include "text/codepage.h"

namespace vantrelis {
namespace {

std::u16string_view View(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())};
}

}  // namespace

QString Windows1252ToQString(std::string_view bytes) { return Utf16ToQString(Windows1252ToUtf16(bytes)); }

std::string QStringToWindows1252(const QString& text) { return Utf16ToWindows1252(View(text)); }

QString Utf16ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string QStringToUtf16(const QString& text) { return std::u16string(View(text)); }

}  // namespace vantrelis
