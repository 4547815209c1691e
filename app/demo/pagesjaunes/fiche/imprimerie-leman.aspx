<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Imprimerie du Léman SA – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Imprimerie du Léman <b>SA</b></h1>
<p class="trade">Imprimerie</p>
<div class="adr"><span class="street-address">Quai Wilson 9</span><br>
<span class="postal-code">1201</span> <span class="locality">Genève</span></div>
<table class="contact">
<tr><td><span class="tel">Téléphone: 022 731 00 11</span></td></tr>
<tr><td><span class="fax">Fax: 022 731 00 12</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.imprimerie-leman.ch" target="_blank">www.imprimerie-leman.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:devis@imprimerie-leman.ch">devis@imprimerie-leman.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:atelier@imprimerie-leman.ch">atelier@imprimerie-leman.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
