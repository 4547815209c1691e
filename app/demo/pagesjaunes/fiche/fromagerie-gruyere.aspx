<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Fromagerie de la Gruyère – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Fromagerie de la Gruyère</h1>
<p class="trade">Fromagerie</p>
<div class="adr"><span class="street-address">Rue du Bourg 30</span><br>
<span class="postal-code">1663</span> <span class="locality">Gruyères</span></div>
<table class="contact">
<tr><td><span class="tel">Téléphone: 026 921 84 00</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.fromagerie-gruyere.ch" target="_blank">www.fromagerie-gruyere.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
