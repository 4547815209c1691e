// Listing page parsing speed on a realistic page and on hostile pages.
#include <benchmark/benchmark.h>

#include <string>

#include "harvest/listing_parser.h"
#include "text/html.h"

namespace {

// About 100 KB of body HTML as a directory serves it: navigation, the
// listing block, opening hours, neighbouring entries, a footer.
std::string RealisticPage() {
  std::string page =
      "<DIV id=header><UL class=nav><LI><A href=\"/pagesjaunes/index.aspx\">Accueil</A></LI>"
      "<LI><A href=\"/pagesjaunes/recherche.aspx\">Recherche</A></LI></UL></DIV>\n";
  int block = 0;
  while (page.size() < size_t{60} * 1024) {
    page += "<DIV class=teaser><A href=\"/pagesjaunes/detail.aspx?id=" + std::to_string(block) +
            "\" class=\"teaser-link\">Entreprise voisine num\xE9ro " + std::to_string(block) +
            "</A><P class=desc>Menuiserie, \xE9"
            "b\xE9nisterie et agencement d'int\xE9rieur, "
            "devis gratuit &amp; conseils.</P><SPAN class=cat>Artisanat</SPAN></DIV>\n";
    ++block;
  }
  page +=
      "<DIV class=vcard><H1 class=\"n fn\">Boulangerie-P\xE2tisserie L'\xC9pi d'Or S\xE0rl</H1>\n"
      "<DIV class=adr><SPAN class=\"street-address\">Rue de l'H\xF4pital 14</SPAN>, "
      "<SPAN class=\"postal-code\">2000</SPAN> <SPAN class=\"locality\">Neuch\xE2tel</SPAN></DIV>\n"
      "<TABLE><TR><TD><SPAN class=tel>Phone: <B>032 724 11 22</B></SPAN></TD></TR>\n"
      "<TR><TD><SPAN class=fax>Fax: 032 724 11 23</SPAN></TD></TR>\n"
      "<TR><td>Site web: <A href=\"http://www.epidor.ch/\" target=_blank>www.epidor.ch</A></td></TR>"
      "<TR><TD><A href=\"mailto:info@epidor.ch\">info@epidor.ch</A></TD></TR></TABLE></DIV>\n";
  while (page.size() < size_t{100} * 1024) {
    page +=
        "<TR><TD class=day>Lundi - Vendredi</TD><TD class=hours>06:30 - 18:30</TD></TR>\n"
        "<P class=small>Donn\xE9"
        "es fournies sans garantie. Signaler une erreur.</P>\n";
  }
  page += "<DIV id=footer>Service client\xE8le : service.clients@annuaire.example</DIV>";
  return page;
}

constexpr size_t kHostileSize = size_t{8} * 1024 * 1024;

std::string Repeated(std::string_view unit) {
  std::string page;
  page.reserve(kHostileSize + unit.size());
  while (page.size() < kHostileSize) page.append(unit);
  return page;
}

void Parse(benchmark::State& state, const std::string& page) {
  for (auto _ : state) {
    auto result = vantrelis::ParseListingPage(page);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void BM_ParseRealisticPage(benchmark::State& state) { Parse(state, RealisticPage()); }

void BM_ParseOpenTags(benchmark::State& state) {
  // The name marker and a single "<" with no ">" after it.
  Parse(state, "<H1 class=\"n fn\">x</H1><SPAN class=locality>" + Repeated("<"));
}

void BM_ParseLettersWithoutAt(benchmark::State& state) { Parse(state, Repeated("abcdefgh.")); }

void BM_ParseAtRuns(benchmark::State& state) { Parse(state, Repeated("@")); }

void BM_ParseAtBetweenLetters(benchmark::State& state) { Parse(state, Repeated("a@b@c.")); }

void BM_ParsePhoneWithoutEnd(benchmark::State& state) { Parse(state, Repeated("phone:")); }

void BM_ParseNameOfTags(benchmark::State& state) {
  // A name made of 8 MB of tags and brackets, cleaned in one piece.
  Parse(state, "<h1 class=n fn>" + Repeated("<i>x>y<") + "</h1>");
}

void BM_StripTagsOpenBrackets(benchmark::State& state) {
  const std::string text = Repeated("<");
  for (auto _ : state) benchmark::DoNotOptimize(vantrelis::StripTags(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kHostileSize));
}

BENCHMARK(BM_ParseRealisticPage);
BENCHMARK(BM_ParseOpenTags)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseLettersWithoutAt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAtRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAtBetweenLetters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParsePhoneWithoutEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseNameOfTags)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StripTagsOpenBrackets)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
