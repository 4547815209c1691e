<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Résultats, page 1 – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<form class="search" method="get" action="/pagesjaunes/resultats.aspx"><label>Quoi ? <input type="text" name="quoi" value="commerces"></label><label>Où ? <input type="text" name="ou" value="Suisse"></label><button type="submit">Rechercher</button></form>
<h2>Commerces en Suisse : 22 résultats</h2>
<div class="pager"> Page 1 sur 3 <a href="resultats-2.aspx?page=2&amp;quoi=commerces">Suivant »</a></div>
<ol class="results">
<li><div><a href="/pagesjaunes/fiche/boulangerie-mueller.aspx?id=1001&amp;lang=fr">Boulangerie Müller &amp; Fils</a><br><span class="what">Boulangerie, pâtisserie · 1003 Lausanne</span></div><a class="info-link silver-button" href="/pagesjaunes/fiche/boulangerie-mueller.aspx?id=1001&amp;lang=fr">Voir la fiche</a></li>
<li><div><a href="fiche/cafe-ours.aspx?id=1002">Café L'Ours SA</a><br><span class="what">Café, restaurant · 1700 Fribourg</span></div><a class="info-link silver-button" href="fiche/cafe-ours.aspx?id=1002">Voir la fiche</a></li>
<li><div><a href="fiche/patisserie-dubois.aspx?id=1003&amp;ref=liste">Pâtisserie Élise Dubois</a><br><span class="what">Pâtisserie, confiserie · 1950 Sion</span></div><a class="info-link silver-button" href="fiche/patisserie-dubois.aspx?id=1003&amp;ref=liste">Voir la fiche</a></li>
<li><div><a href="/pagesjaunes/fiche/metzgerei-schoenenberger.aspx?id=1004">Metzgerei Schönenberger AG</a><br><span class="what">Metzgerei · 8001 Zürich</span></div><a class="info-link silver-button" href="/pagesjaunes/fiche/metzgerei-schoenenberger.aspx?id=1004">Voir la fiche</a></li>
<li><div><a href="fiche/Cafe-Ours.aspx?id=1002">Café L'Ours SA</a><br><span class="what">Café, restaurant · 1700 Fribourg</span></div><a class="info-link silver-button" href="fiche/Cafe-Ours.aspx?id=1002">Voir la fiche</a></li>
<li><div><a href="fiche/trattoria-angelo.aspx?id=1005">Trattoria dell'Angelo</a><br><span class="what">Ristorante · 6900 Lugano</span></div><a class="info-link silver-button" href="fiche/trattoria-angelo.aspx?id=1005">Voir la fiche</a></li>
<li><div><a href="fiche/annonce-retiree.aspx?id=1006">Inscription retirée</a><br><span class="what">Fiche retirée par l’entreprise</span></div><a class="info-link silver-button" href="fiche/annonce-retiree.aspx?id=1006">Voir la fiche</a></li>
<li><div><a href="/pagesjaunes/fiche/epicerie-chateau.aspx?id=1007&amp;lang=fr">Épicerie du Château</a><br><span class="what">Épicerie fine · 1660 Château-d'Œx</span></div><a class="info-link silver-button" href="/pagesjaunes/fiche/epicerie-chateau.aspx?id=1007&amp;lang=fr">Voir la fiche</a></li>
<li><div><a href="fiche/garage-bianchi.aspx?id=1008">Garage Bianchi &amp; Cie</a><br><span class="what">Garage · 6500 Bellinzona</span></div><a class="info-link silver-button" href="fiche/garage-bianchi.aspx?id=1008">Voir la fiche</a></li>
</ol>
<div class="pager"> Page 1 sur 3 <a href="resultats-2.aspx?page=2&amp;quoi=commerces">Suivant »</a></div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
