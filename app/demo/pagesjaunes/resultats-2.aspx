<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Résultats, page 2 – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<form class="search" method="get" action="/pagesjaunes/resultats.aspx"><label>Quoi ? <input type="text" name="quoi" value="commerces"></label><label>Où ? <input type="text" name="ou" value="Suisse"></label><button type="submit">Rechercher</button></form>
<h2>Commerces en Suisse : 22 résultats</h2>
<ol class="results">
<li><div><a href="fiche/fleurs-rosiers.aspx?id=2001">Fleurs des Rosiers Sàrl</a><br><span class="what">Fleuriste · 2000 Neuchâtel</span></div><a class="info-link silver-button" href="fiche/fleurs-rosiers.aspx?id=2001">Voir la fiche</a></li>
<li><div><a href="/pagesjaunes/fiche/weinkeller-zum-loewen.aspx?id=2002&amp;lang=de">Weinkeller zum Löwen</a><br><span class="what">Weinhandlung · 4051 Basel</span></div><a class="info-link silver-button" href="/pagesjaunes/fiche/weinkeller-zum-loewen.aspx?id=2002&amp;lang=de">Voir la fiche</a></li>
<li><div><a href="fiche/fromagerie-gruyere.aspx?id=2003">Fromagerie de la Gruyère</a><br><span class="what">Fromagerie · 1663 Gruyères</span></div><a class="info-link silver-button" href="fiche/fromagerie-gruyere.aspx?id=2003">Voir la fiche</a></li>
<li><div><a href="fiche/osteria-arco.aspx?id=2004&amp;lang=it">Osteria dell’Arco</a><br><span class="what">Osteria · 6600 Locarno</span></div><a class="info-link silver-button" href="fiche/osteria-arco.aspx?id=2004&amp;lang=it">Voir la fiche</a></li>
<li><div><a href="fiche/imprimerie-leman.aspx?id=2005">Imprimerie du Léman <b>SA</b></a><br><span class="what">Imprimerie · 1201 Genève</span></div><a class="info-link silver-button" href="fiche/imprimerie-leman.aspx?id=2005">Voir la fiche</a></li>
<li><div><a href="fiche/FROMAGERIE-GRUYERE.aspx?id=2003">Fromagerie de la Gruyère</a><br><span class="what">Fromagerie · 1663 Gruyères</span></div><a class="info-link silver-button" href="fiche/FROMAGERIE-GRUYERE.aspx?id=2003">Voir la fiche</a></li>
<li><div><a href="/pagesjaunes/fiche/baeckerei-hofer.aspx?id=2006">Bäckerei-Konditorei Hofer</a><br><span class="what">Bäckerei · 3011 Bern</span></div><a class="info-link silver-button" href="/pagesjaunes/fiche/baeckerei-hofer.aspx?id=2006">Voir la fiche</a></li>
<li><div><a href="fiche/pharmacie-gare.aspx?id=2007">Pharmacie de la Gare</a><br><span class="what">Pharmacie · 1400 Yverdon-les-Bains</span></div><a class="info-link silver-button" href="fiche/pharmacie-gare.aspx?id=2007">Voir la fiche</a></li>
<li><div><a href="fiche/salone-bellezza.aspx?id=2008">Salone di Bellezza Rita</a><br><span class="what">Parrucchiere · 6830 Chiasso</span></div><a class="info-link silver-button" href="fiche/salone-bellezza.aspx?id=2008">Voir la fiche</a></li>
<li><div><a href="fiche/fleurs-rosiers.aspx?id=2001">Fleurs des Rosiers Sàrl</a><br><span class="what">Fleuriste · 2000 Neuchâtel</span></div><a class="info-link silver-button" href="fiche/fleurs-rosiers.aspx?id=2001">Voir la fiche</a></li>
</ol>
<div class="pager"><a href="resultats.aspx">« Précédent</a> Page 2 sur 3 <a href="resultats-3.aspx?page=3&amp;quoi=commerces">Suivant »</a></div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
