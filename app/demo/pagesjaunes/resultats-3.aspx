<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Résultats, page 3 – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<form class="search" method="get" action="/pagesjaunes/resultats.aspx"><label>Quoi ? <input type="text" name="quoi" value="commerces"></label><label>Où ? <input type="text" name="ou" value="Suisse"></label><button type="submit">Rechercher</button></form>
<h2>Commerces en Suisse : 22 résultats</h2>
<ol class="results">
<li><div><a href="fiche/menuiserie-favre.aspx?id=3001">Menuiserie Favre &amp; Fils</a><br><span class="what">Menuiserie · 1260 Nyon</span></div><a class="info-link silver-button" href="fiche/menuiserie-favre.aspx?id=3001">Voir la fiche</a></li>
<li><div><a href="/pagesjaunes/fiche/velo-zbinden.aspx?id=3002">Velo Zbinden GmbH</a><br><span class="what">Velos · 6006 Luzern</span></div><a class="info-link silver-button" href="/pagesjaunes/fiche/velo-zbinden.aspx?id=3002">Voir la fiche</a></li>
<li><div><a href="fiche/auberge-cheval-blanc.aspx?id=3003">Auberge du Cheval-Blanc</a><br><span class="what">Auberge · 2900 Porrentruy</span></div><a class="info-link silver-button" href="fiche/auberge-cheval-blanc.aspx?id=3003">Voir la fiche</a></li>
<li><div><a href="fiche/gelateria-lago.aspx?id=3004&amp;lang=it">Gelateria sul Lago</a><br><span class="what">Gelateria · 6612 Ascona</span></div><a class="info-link silver-button" href="fiche/gelateria-lago.aspx?id=3004&amp;lang=it">Voir la fiche</a></li>
<li><div><a href="fiche/ecole-musique.aspx?id=3005">École de Musique « Do Ré Mi »</a><br><span class="what">École de musique · 1700 Fribourg</span></div><a class="info-link silver-button" href="fiche/ecole-musique.aspx?id=3005">Voir la fiche</a></li>
<li><div><a href="fiche/schreinerei-ammann.aspx?id=3006">Schreinerei Ammann</a><br><span class="what">Schreinerei · 8400 Winterthur</span></div><a class="info-link silver-button" href="fiche/schreinerei-ammann.aspx?id=3006">Voir la fiche</a></li>
</ol>
<div class="pager"><a href="resultats-2.aspx?page=2&amp;quoi=commerces">« Précédent</a> Page 3 sur 3 </div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
