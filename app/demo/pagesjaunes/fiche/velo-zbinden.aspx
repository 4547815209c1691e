<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Velo Zbinden GmbH – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Velo Zbinden GmbH</h1>
<p class="trade">Velos</p>
<div class="adr"><span class="street-address">Seestrasse 101</span><br>
<span class="postal-code">6006</span> <span class="locality">Luzern</span></div>
<table class="contact">
<tr><td><span class="tel">Phone: 041 370 12 12</span></td></tr>
<tr><td class="email">E-mail : <a href="mailto:service@velo-zbinden.ch">service@velo-zbinden.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
