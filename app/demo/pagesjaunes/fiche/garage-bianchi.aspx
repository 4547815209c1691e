<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Garage Bianchi &amp; Cie – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Garage Bianchi &amp; Cie</h1>
<p class="trade">Garage</p>
<div class="adr"><span class="street-address">Via Cantonale 8</span><br>
<span class="postal-code">6500</span> <span class="locality">Bellinzona</span></div>
<table class="contact">
<tr><td><span class="tel">Phone: 091 825 14 14</span></td></tr>
<tr><td><span class="fax">Fax: 091 825 14 15</span></td></tr>
<tr><td class="url">Site web: <a href="http://garage-bianchi.ch" target="_blank">garage-bianchi.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:officina@garage-bianchi.ch">officina@garage-bianchi.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
