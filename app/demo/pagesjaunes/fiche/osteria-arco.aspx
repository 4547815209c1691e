<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Osteria dell’Arco – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Osteria dell’Arco</h1>
<p class="trade">Osteria</p>
<div class="adr"><span class="street-address">Piazza Grande 4</span><br>
<span class="postal-code">6600</span> <span class="locality">Locarno</span></div>
<table class="contact">
<tr><td><span class="tel">Phone: 091 751 20 30</span></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
