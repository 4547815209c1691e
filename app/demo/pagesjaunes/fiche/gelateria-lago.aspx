<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Gelateria sul Lago – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Gelateria sul Lago</h1>
<p class="trade">Gelateria</p>
<div class="adr"><span class="street-address">Lungolago 3</span><br>
<span class="postal-code">6612</span> <span class="locality">Ascona</span></div>
<table class="contact">
<tr><td><span class="tel">Phone: 091 791 00 77</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.gelateria-lago.ch" target="_blank">www.gelateria-lago.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
