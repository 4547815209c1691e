<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Metzgerei Schönenberger AG – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Metzgerei Schönenberger AG</h1>
<p class="trade">Metzgerei</p>
<div class="adr"><span class="street-address">Bahnhofstrasse 44</span><br>
<span class="postal-code">8001</span> <span class="locality">Zürich</span></div>
<table class="contact">
<tr><td><span class="tel">Phone: 044 211 30 40</span></td></tr>
<tr><td class="url">Site web: <a href="https://www.schoenenberger-metzg.ch/" target="_blank">www.schoenenberger-metzg.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:bestellung@schoenenberger-metzg.ch">bestellung@schoenenberger-metzg.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
