<!DOCTYPE html>
<html lang="fr">
<head>
<meta charset="utf-8">
<title>Fleurs des Rosiers Sàrl – Annuaire Alpin</title>
<link rel="stylesheet" href="/pagesjaunes/style.css">
</head>
<body>
<header class="site"><a class="logo" href="/pagesjaunes/index.aspx">Annuaire <span>Alpin</span></a></header>
<main>
<p class="crumbs"><a href="/pagesjaunes/index.aspx">Accueil</a> › <a href="/pagesjaunes/resultats.aspx">Résultats</a></p>
<div class="vcard">
<h1 class="n fn">Fleurs des Rosiers Sàrl</h1>
<p class="trade">Fleuriste</p>
<div class="adr"><span class="street-address">Place du Marché 7</span><br>
<span class="postal-code">2000</span> <span class="locality">Neuchâtel</span></div>
<table class="contact">
<tr><td><span class="tel">Téléphone: 032 725 88 99</span></td></tr>
<tr><td class="url">Site web: <a href="http://www.fleurs-rosiers.ch" target="_blank">www.fleurs-rosiers.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:boutique@fleurs-rosiers.ch">boutique@fleurs-rosiers.ch</a></td></tr>
<tr><td class="email">E-mail : <a href="mailto:Boutique@Fleurs-Rosiers.ch">Boutique@Fleurs-Rosiers.ch</a></td></tr>
</table>
</div>
</main>
<footer class="site">Annuaire Alpin · Service clientèle : <a href="mailto:service.clients@annuaire.example">service.clients@annuaire.example</a> · Données fictives de démonstration</footer>
</body>
</html>
