#include "text/message.h"

#include <gtest/gtest.h>

namespace vantrelis {
namespace {

TEST(Message, FinalPeriodOnlyAfterCharactersAboveThePeriod) {
  EXPECT_EQ(WithFinalPeriod("Fichier introuvable"), "Fichier introuvable.");
  EXPECT_EQ(WithFinalPeriod("Termin\xC3\xA9."), "Termin\xC3\xA9.");
  EXPECT_EQ(WithFinalPeriod(""), "");
  EXPECT_EQ(WithFinalPeriod("chemin /"), "chemin /.");  // '/' is 47
  EXPECT_EQ(WithFinalPeriod("a-"), "a-");               // '-' is 45
  EXPECT_EQ(WithFinalPeriod("Vraiment!"), "Vraiment!");
  // A byte read as signed would be negative and lose its period.
  EXPECT_EQ(WithFinalPeriod("Op\xC3\xA9ration termin\xC3\xA9"), "Op\xC3\xA9ration termin\xC3\xA9.");
  EXPECT_EQ(WithFinalPeriod("Caf\xE9"), "Caf\xE9.");
  // A NUL inside is an ordinary character, the last one decides.
  EXPECT_EQ(WithFinalPeriod(std::string_view("a\0b", 3)), std::string("a\0b.", 4));
}

}  // namespace
}  // namespace vantrelis
