// The bridge between Qt's strings and the program's Windows-1252 and UTF-16 texts.
#include <QtTest>

#include <string>

#include "browser/qt_text.h"
#include "support/test_main.h"

using namespace vantrelis;
using namespace std::string_literals;

class QtTextTest : public QObject {
  Q_OBJECT
 private slots:
  void everyByteAndEveryCodeUnitSurvives() {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const QString text = Windows1252ToQString(all);
    QCOMPARE(text.size(), 256);  // the NUL at the start ends nothing
    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(text.at(0xE9), QChar(0xE9));
    QVERIFY(QStringToWindows1252(text) == all);
    // Outside the code page: the best fit, never a lost character.
    QVERIFY(QStringToWindows1252(QStringLiteral("\u0141\u00F3d\u017A \u2212")) ==
            "L\xF3"
            "dz -");
    // UTF-16 as it is, an unpaired surrogate included.
    const std::u16string units = u"a\0\u00E9\U0001F600"s + char16_t(0xD800);
    QCOMPARE(Utf16ToQString(units).size(), 6);
    QVERIFY(QStringToUtf16(Utf16ToQString(units)) == units);
    QVERIFY(QStringToUtf16(QString()).empty());
  }
};

VANTRELIS_APPLESS_TEST_MAIN(QtTextTest)
#include "qt_text_test.moc"
